#include "dashboard/PageBudget.h"

#include <array>

namespace orvalt {

PageBudget PageBudgetOf(std::string_view target) {
    static constexpr std::array<std::string_view, 4> kLight = {"/", "/unit", "/health",
                                                               "/dashboard.js"};
    const std::string_view path = target.substr(0, target.find('?'));
    if (path == "/events") {
        return PageBudget::Streams;
    }
    for (const std::string_view light : kLight) {
        if (path == light) {
            return PageBudget::Light;
        }
    }
    return PageBudget::Heavy;
}

}  // namespace orvalt
