#pragma once
#include <algorithm>
#include <vector>

namespace vantrel::app {

template <typename F>
void ForEachChildInTabOrder(std::string_view parent, F&& f) {
  std::vector<const ControlDef*> children;
  for (const ControlDef& c : ControlTree())
    if (c.parent == parent) children.push_back(&c);
  // Controls without a tab index keep their table order after the focusable ones.
  std::stable_sort(children.begin(), children.end(), [](const ControlDef* a, const ControlDef* b) {
    int ka = a->tabIndex < 0 ? 1000 : a->tabIndex, kb = b->tabIndex < 0 ? 1000 : b->tabIndex;
    return ka < kb;
  });
  for (const ControlDef* c : children) f(*c);
}

}  // namespace vantrel::app
