#include "generator/expression_list.h"

namespace generator {

ExpressionList::ExpressionList() : present_(0, HashAt{this}, EqualAt{this}) {}

std::string_view ExpressionList::operator[](size_t i) const {
  const uint64_t begin = i == 0 ? 0 : ends_[i - 1];
  return std::string_view(arena_).substr(begin, ends_[i] - begin);
}

bool ExpressionList::appendIfNew(std::string_view text) {
  arena_ += text;
  ends_.push_back(arena_.size());
  if (present_.insert(static_cast<uint32_t>(ends_.size() - 1)).second) return true;
  arena_.resize(arena_.size() - text.size());
  ends_.pop_back();
  return false;
}

}  // namespace generator
