// What a pass hands on for each expression it collects, in the order
// collected: its value, and a short form of its text that the engine's
// renderer turns into the text when it is wanted. A pass collects
// millions of expressions and only a few are ever shown.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace generator {

struct CollectedExpression {
  int32_t value;
  uint64_t ordering;     // the ordering's number in its pass, from 0
  uint64_t description;  // the engine's short form of the text
};

class ExpressionRenderer {
 public:
  virtual ~ExpressionRenderer() = default;
  // The text, as Shift_JIS bytes.
  virtual std::string render(const CollectedExpression& expression) const = 0;
};

// Receives the expressions of a pass.
class Collector {
 public:
  virtual ~Collector() = default;
  // A pass starts; its expressions render through the renderer, which the
  // collector may keep as long as it needs.
  virtual void beginPass(std::shared_ptr<const ExpressionRenderer> renderer) = 0;
  virtual void collect(const CollectedExpression& expression) = 0;
  // Expressions collected one after another, handed on at once.
  virtual void collectAll(std::span<const CollectedExpression> expressions) {
    for (const CollectedExpression& expression : expressions) collect(expression);
  }
};

}  // namespace generator
