#include "generator/search.h"

#include "generator/orderings.h"
#include "generator/reduction.h"

namespace generator {

bool ConsoleSearchMonitor::pollStopKey() {
  if (!console_.keyWaiting()) return false;
  const int key = console_.readKey();
  if (key != 's' && key != 'S') return false;
  while (console_.keyWaiting()) console_.readKey();
  return true;
}

void ConsoleSearchMonitor::writeMark(std::string_view mark) {
  console_.write(mark);
  console_.flush();
}

bool containsMulDiv(std::string_view text, bool computerOperator) {
  if (computerOperator) return text.find_first_of("*/") != std::string_view::npos;
  return text.find(kMultiplySign) != std::string_view::npos ||
         text.find(kDivideSign) != std::string_view::npos;
}

void acceptCandidate(std::string_view text, double value, const Settings& settings,
                     Candidates candidates) {
  if (!AcceptedValues(settings).accepts(value)) return;
  // The multiplication test depends on the text alone, so asking it before
  // the duplicate test drops and keeps exactly the same expressions.
  if (settings.includesMulDiv && !containsMulDiv(text, settings.computerOperator)) return;
  if (!candidates.expressions.appendIfNew(text)) return;
  candidates.answers.push_back(static_cast<int32_t>(value));
}

void runSearchPassReference(const std::vector<int32_t>& parameters, SearchContext& context,
                            Candidates candidates) {
  candidates.expressions.clear();
  candidates.answers.clear();
  const Settings& settings = context.settings;
  const RowTable& combinations = context.tables.combinations;
  const RowTable& operators = context.tables.operators;
  bool& stop = context.stopRequested;
  auto poll = [&] { return stop = context.monitor.pollStopKey(); };

  OrderingWalk walk(parameters, settings.orderSwap);
  std::vector<int32_t> orderedValues;
  ReductionWork work(static_cast<int32_t>(parameters.size()));
  while (!stop && walk.next(orderedValues)) {
    for (int64_t o = 0; o < combinations.rows() && !stop; ++o) {
      context.monitor.writeMark(kSpinnerMarks[o % 4]);
      for (int64_t p = 0; p < operators.rows() && !stop; ++p) {
        if (reduceExpression(orderedValues, combinations.row(o), operators.row(p),
                             settings.computerOperator, work, poll)) {
          acceptCandidate(work.terms[0].text, work.terms[0].value, settings, candidates);
        }
      }
    }
    context.monitor.writeMark(kFinishMark);
  }
}

}  // namespace generator
