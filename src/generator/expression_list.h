// Expression texts in the order added, each at most once: one byte arena
// and a hashed index into it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace generator {

class ExpressionList {
 public:
  ExpressionList();
  // The hashed index refers back to the list, so it stays in one place.
  ExpressionList(const ExpressionList&) = delete;
  ExpressionList& operator=(const ExpressionList&) = delete;

  size_t size() const { return ends_.size(); }
  // The text of entry i, as Shift_JIS bytes.
  std::string_view operator[](size_t i) const;

  // Appends the text unless an equal one is present; true when appended.
  bool appendIfNew(std::string_view text);

 private:
  struct HashAt {
    const ExpressionList* list;
    size_t operator()(uint32_t i) const { return std::hash<std::string_view>()((*list)[i]); }
  };
  struct EqualAt {
    const ExpressionList* list;
    bool operator()(uint32_t a, uint32_t b) const { return (*list)[a] == (*list)[b]; }
  };

  std::string arena_;
  std::vector<uint64_t> ends_;
  std::unordered_set<uint32_t, HashAt, EqualAt> present_;
};

}  // namespace generator
