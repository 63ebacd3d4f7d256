#pragma once
// The model page's main part (the capability and control charts of the
// model's measurements, as spc --out draws them) and the list of the models
// recorded lately.

#include <cstddef>
#include <string>
#include <vector>

#include "reading/Yield.h"
#include "spc/Spc.h"

namespace orvalt {

inline constexpr std::size_t kModelRunsByDefault = 200;
inline constexpr std::size_t kModelRunsMost = 100000;
inline constexpr int kModelsLookBackDays = 30;

// The charts of the model's newest `last` runs.
std::string ModelPageMain(const std::string& model, std::size_t last,
                          const std::vector<JudgedSeries>& all);
// The model is recorded, and nothing in its runs can be charted: why.
std::string ModelWithoutChartsMain(const std::string& model, std::size_t last,
                                   const std::string& why);
// The models as their yield over the look-back gives them.
std::string ModelsPageMain(const std::vector<YieldRow>& models);

}  // namespace orvalt
