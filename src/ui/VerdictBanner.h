#pragma once
// The verdict beside the plot, large and coloured: green PASS, red FAIL with
// its reasons, amber ERROR with its reason. Blank from Start until a verdict
// is known; hidden while no limits are loaded, so that without limits the
// window looks as it always did.

#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>
#include <optional>
#include <string>
#include <vector>

#include "verdict/Verdict.h"

namespace orvalt {

class VerdictBanner final : public QWidget {
    Q_OBJECT

  public:
    explicit VerdictBanner(QWidget* parent = nullptr);

    void SetLimitsLoaded(bool loaded);
    // At Start: nothing to show until the run gives a verdict.
    void Clear();
    // `kind` as RunVerdicts::SoFar or Unit gives it; nothing clears the banner.
    // `reasons` as RunVerdicts::Reasons gives them.
    void Show(std::optional<VerdictKind> kind, const std::vector<std::string>& reasons);

    QString Headline() const { return headline_.text(); }
    QString ReasonsText() const { return reasons_.text(); }
    QColor Colour() const;

  private:
    QLabel headline_;
    QLabel reasons_;
    // Declared last: it goes first, and leaves the labels to their own ends.
    QVBoxLayout layout_;
};

}  // namespace orvalt
