// The collected expressions of a pass, in the order collected. A list holds
// either texts, kept in one byte arena with a duplicate test, or short
// descriptions from which a renderer builds the texts when they are asked
// for: a pass collects millions of expressions, and only a few are ever
// shown. Which of the two it holds is chosen when it is emptied.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace generator {

// Renders described entries. A description is whatever the search that
// collected the entry packed into 64 bits; the entry's index comes along.
class ExpressionRenderer {
 public:
  virtual ~ExpressionRenderer() = default;
  virtual std::string render(size_t index, uint64_t description) const = 0;
};

class ExpressionList {
 public:
  ExpressionList();
  // The hashed index refers back to the list, so it stays in one place.
  ExpressionList(const ExpressionList&) = delete;
  ExpressionList& operator=(const ExpressionList&) = delete;

  size_t size() const { return renderer_ ? descriptions_.size() : ends_.size(); }
  // The text of entry i, as Shift_JIS bytes.
  std::string operator[](size_t i) const;
  // Empties the list. Without a renderer it then holds texts; with one,
  // descriptions that the renderer turns into texts.
  void clear(std::shared_ptr<const ExpressionRenderer> renderer = nullptr);

  // A list of texts: appends the text unless an equal one is present;
  // true when appended.
  bool appendIfNew(std::string_view text);

  // A list of descriptions: appends one.
  void appendDescribed(uint64_t description) { descriptions_.push_back(description); }

 private:
  std::string_view textAt(size_t i) const;

  struct HashAt {
    const ExpressionList* list;
    size_t operator()(uint32_t i) const { return std::hash<std::string_view>()(list->textAt(i)); }
  };
  struct EqualAt {
    const ExpressionList* list;
    bool operator()(uint32_t a, uint32_t b) const { return list->textAt(a) == list->textAt(b); }
  };

  std::string arena_;
  std::vector<uint64_t> ends_;
  std::unordered_set<uint32_t, HashAt, EqualAt> present_;
  std::vector<uint64_t> descriptions_;
  std::shared_ptr<const ExpressionRenderer> renderer_;
};

}  // namespace generator
