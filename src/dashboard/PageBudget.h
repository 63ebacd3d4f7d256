#pragma once
// Which threads answer a request, from its target as sent: the event
// streams', which each hold one for as long as a page is open; the light
// pages' (the line, a unit, the health, the script); or the heavy pages'
// (a model's charts, the models, a run's report), fewer than the read
// connections, so that however many charts are asked a light page still finds
// a thread and a connection. Anything else is heavy: a target spelled another
// way (percent-encoded, say) may be answered slower, never cheaper.

#include <string_view>

namespace orvalt {

enum class PageBudget { Streams, Light, Heavy };

PageBudget PageBudgetOf(std::string_view target);

}  // namespace orvalt
