// The collected expressions of a pass: texts kept in one byte arena, in
// the order collected, with a hashed test for texts already present.
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
  bool empty() const { return ends_.empty(); }
  std::string_view operator[](size_t i) const;
  void clear();
  // Appends the text unless an equal one is present; true when appended.
  bool appendIfNew(std::string_view text);
  // Appends the text without looking for an equal one.
  void append(std::string_view text);
  // Forgets which texts are present: later texts are only compared with
  // texts appended after this call.
  void forgetPresentTexts() { present_.clear(); }

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
