#include "ui/VerdictBanner.h"

namespace orvalt {

namespace {

constexpr int kHeadlinePoints = 28;

QColor ColourOf(std::optional<VerdictKind> kind) {
    if (!kind) {
        return QColor(0xee, 0xee, 0xee);
    }
    switch (*kind) {
        case VerdictKind::Pass:
            return QColor(0x2e, 0x7d, 0x32);
        case VerdictKind::Fail:
            return QColor(0xc6, 0x28, 0x28);
        case VerdictKind::Error:
            return QColor(0xff, 0xa0, 0x00);
    }
    return QColor(0xee, 0xee, 0xee);
}

QString Lines(const std::vector<std::string>& reasons) {
    QStringList lines;
    for (const std::string& reason : reasons) {
        lines << QString::fromStdString(reason);
    }
    return lines.join('\n');
}

}  // namespace

VerdictBanner::VerdictBanner(QWidget* parent) : QWidget(parent), layout_(this) {
    setObjectName("verdictBanner");
    setAutoFillBackground(true);
    setMinimumWidth(160);
    QFont big = headline_.font();
    big.setPointSize(kHeadlinePoints);
    big.setBold(true);
    headline_.setFont(big);
    headline_.setAlignment(Qt::AlignCenter);
    reasons_.setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    reasons_.setWordWrap(true);
    layout_.addWidget(&headline_);
    layout_.addWidget(&reasons_, 1);
    Clear();
    hide();
}

void VerdictBanner::SetLimitsLoaded(bool loaded) {
    setVisible(loaded);
}

void VerdictBanner::Clear() {
    Show(std::nullopt, {});
}

void VerdictBanner::Show(std::optional<VerdictKind> kind, const std::vector<std::string>& reasons) {
    headline_.setText(kind ? VerdictWord(*kind) : "");
    reasons_.setText(kind && *kind != VerdictKind::Pass ? Lines(reasons) : QString());
    QPalette colours = palette();
    colours.setColor(QPalette::Window, ColourOf(kind));
    const QColor text = kind && *kind == VerdictKind::Error ? Qt::black : Qt::white;
    colours.setColor(QPalette::WindowText, kind ? text : Qt::black);
    setPalette(colours);
}

QColor VerdictBanner::Colour() const {
    return palette().color(QPalette::Window);
}

}  // namespace orvalt
