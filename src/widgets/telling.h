#pragma once

#include <functional>

class QAccessibleEvent;

namespace vantrel
{

// Whether assistive technology listens to the kit's controls: the toolkit's word, or a
// stand-in for it inside the program (the tests). While nobody listens, the controls keep
// nothing and compare nothing for it.
bool accessibilityListens();
// Hands an event of a kit control on to assistive technology, or to the stand-in.
void tellAccessibility(QAccessibleEvent& event);
// A stand-in that hears the kit's events in place of the toolkit; none ends it.
void setAccessibilityStandIn(std::function<void(QAccessibleEvent&)> standIn);

} // namespace vantrel
