#include "ui/VerdictBanner.h"

#include <QFontMetrics>
#include <algorithm>
#include <array>

namespace orvalt {

namespace {

constexpr int kMargin = 6;
constexpr int kGap = 16;
// Lines of reasons shown; the rest are counted on the last one.
constexpr int kReasonLines = 2;
constexpr int kSmallestReasonPixels = 14;
// Narrower than this, the reasons go below the word rather than beside it.
constexpr int kNarrowestDetails = 280;
// Shown large in place of a number, so that a unit not scanned is noticed.
constexpr const char* kNoSerial = "No serial number";

constexpr std::array<const char*, 6> kWords{"READY", "TESTING...", "PASS",
                                            "FAIL",  "ERROR",      "NOT JUDGED"};

struct ToneColours {
    VerdictTone tone;
    QColor background;
    QColor text;
};

const std::array<ToneColours, 6> kTones{{
    {VerdictTone::Ready, QColor(0xee, 0xee, 0xee), Qt::black},
    {VerdictTone::Testing, QColor(0x15, 0x65, 0xc0), Qt::white},
    {VerdictTone::Pass, QColor(0x2e, 0x7d, 0x32), Qt::white},
    {VerdictTone::Fail, QColor(0xc6, 0x28, 0x28), Qt::white},
    {VerdictTone::Error, QColor(0xff, 0xa0, 0x00), Qt::black},
    {VerdictTone::NotJudged, QColor(0xff, 0xc1, 0x07), Qt::black},
}};

const ToneColours& ColoursOf(VerdictTone tone) {
    const auto found = std::find_if(kTones.begin(), kTones.end(),
                                    [tone](const ToneColours& each) { return each.tone == tone; });
    return found == kTones.end() ? kTones.front() : *found;
}

QFont Sized(QFont font, int pixels, bool bold) {
    font.setPixelSize(std::max(pixels, 1));
    font.setBold(bold);
    return font;
}

int TextWidth(const QLabel& label) {
    return QFontMetrics(label.font()).horizontalAdvance(label.text());
}

QString ReasonLines(const std::vector<std::string>& reasons) {
    QStringList lines;
    for (std::size_t i = 0; i < reasons.size(); ++i) {
        const bool last = static_cast<int>(i) == kReasonLines - 1;
        if (last && reasons.size() > static_cast<std::size_t>(kReasonLines)) {
            lines << QString::fromStdString(reasons[i]) +
                         QStringLiteral(" (and %1 more)").arg(reasons.size() - i - 1);
            break;
        }
        lines << QString::fromStdString(reasons[i]);
    }
    return lines.join('\n');
}

}  // namespace

VerdictBanner::VerdictBanner(QWidget* parent)
    : QWidget(parent),
      fixture_(this),
      serial_(this),
      headline_(this),
      reasons_(this),
      limits_(this),
      loadLimits_(QStringLiteral("Load Limits..."), this) {
    setObjectName(QStringLiteral("verdictBanner"));
    setAutoFillBackground(true);
    fixture_.setObjectName(QStringLiteral("fixtureName"));
    fixture_.setAutoFillBackground(true);
    fixture_.setAlignment(Qt::AlignCenter);
    fixture_.hide();
    serial_.setObjectName(QStringLiteral("verdictSerial"));
    serial_.setText(QString::fromLatin1(kNoSerial));
    headline_.setObjectName(QStringLiteral("verdictWord"));
    headline_.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    reasons_.setObjectName(QStringLiteral("verdictReasons"));
    reasons_.setAlignment(Qt::AlignLeft | Qt::AlignTop);
    reasons_.setWordWrap(true);  // a long reason takes the second line
    limits_.setObjectName(QStringLiteral("limitsInForce"));
    limits_.setAlignment(Qt::AlignRight | Qt::AlignTop);
    loadLimits_.setObjectName(QStringLiteral("loadLimits"));
    loadLimits_.setAutoDefault(false);  // Enter presses nothing
    loadLimits_.setFocusPolicy(Qt::ClickFocus);
    SetTypePixels(typePixels_);
    ShowFace(VerdictFace{"READY", VerdictTone::Ready, {}, "No limits loaded"});
}

void VerdictBanner::SetTypePixels(int pixels) {
    typePixels_ = std::max(pixels, 1);
    serial_.setFont(Sized(font(), typePixels_, true));
    headline_.setFont(Sized(font(), typePixels_, true));
    fixture_.setFont(Sized(font(), typePixels_ / 2, true));
    const int small = std::max(kSmallestReasonPixels, typePixels_ / 5);
    reasons_.setFont(Sized(font(), small, true));
    limits_.setFont(Sized(font(), small, false));
    Arrange();
}

int VerdictBanner::WidestWord() const {
    const QFontMetrics metrics(headline_.font());
    int widest = 0;
    for (const char* word : kWords) {
        widest = std::max(widest, metrics.horizontalAdvance(QString::fromLatin1(word)));
    }
    return widest;
}

// Fixture, serial and the widest word side by side, the serial given room for
// eight digits whatever it holds (a longer one is made smaller), so that the
// panel keeps its shape from unit to unit.
bool VerdictBanner::OneRow(int width) const {
    const int fixture = fixture_.isHidden() ? 0 : TextWidth(fixture_) + 2 * kGap;
    const int serial = QFontMetrics(headline_.font()).horizontalAdvance(QString(8, '0'));
    return 2 * kMargin + fixture + serial + kGap + WidestWord() <= width;
}

int VerdictBanner::ReasonsHeight() const {
    return QFontMetrics(reasons_.font()).lineSpacing() * kReasonLines;
}

// The band below the rows that holds the reasons, the limits file and Load
// Limits... side by side.
int VerdictBanner::BandHeight() const {
    return std::max(ReasonsHeight(), loadLimits_.sizeHint().height());
}

// With the word on a row of its own, the reasons over the limits file and
// Load Limits... fit beside it when there is room.
bool VerdictBanner::DetailsBeside(int width) const {
    const int row = QFontMetrics(headline_.font()).height();
    const int side = width - 2 * kMargin - WidestWord() - kGap;
    return !OneRow(width) && side >= kNarrowestDetails &&
           ReasonsHeight() + loadLimits_.sizeHint().height() <= row;
}

int VerdictBanner::HeightFor(int width) const {
    const int row = QFontMetrics(headline_.font()).height();
    if (OneRow(width)) {
        return 2 * kMargin + row + BandHeight();
    }
    return 2 * kMargin + 2 * row + (DetailsBeside(width) ? 0 : BandHeight());
}

void VerdictBanner::SetFixture(const QString& name, const QColor& accent) {
    fixture_.setText(name);
    QPalette colours = fixture_.palette();
    colours.setColor(QPalette::Window, accent);
    colours.setColor(QPalette::WindowText, accent.lightness() > 150 ? Qt::black : Qt::white);
    fixture_.setPalette(colours);
    fixture_.setVisible(!name.isEmpty());
    Arrange();
}

void VerdictBanner::SetSerial(const QString& serial) {
    serialNumber_ = serial;
    serial_.setText(serial.isEmpty() ? QString::fromLatin1(kNoSerial) : serial);
    Arrange();
}

void VerdictBanner::ShowFace(const VerdictFace& face) {
    tone_ = face.tone;
    headline_.setText(QString::fromStdString(face.word));
    reasons_.setText(ReasonLines(face.reasons));
    limits_.setText(QString::fromStdString(face.limits));
    PaintTone();
    Arrange();
}

void VerdictBanner::ShowTesting() {
    ShowFace(VerdictFace{"TESTING...", VerdictTone::Testing, {}, limits_.text().toStdString()});
}

QColor VerdictBanner::Colour() const {
    return palette().color(QPalette::Window);
}

void VerdictBanner::PaintTone() {
    const ToneColours& tone = ColoursOf(tone_);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, tone.background);
    colours.setColor(QPalette::WindowText, tone.text);
    setPalette(colours);
}

void VerdictBanner::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Arrange();
}

// The fixture's name and the serial number on the first row, the word at the
// right of it or on a row of its own; the reasons and the limits file below,
// or beside the word on its own row.
void VerdictBanner::Arrange() {
    const int row = QFontMetrics(headline_.font()).height();
    const int inner = std::max(width() - 2 * kMargin, 1);
    int left = kMargin;
    if (!fixture_.isHidden()) {
        const int fixtureWidth = TextWidth(fixture_) + 2 * kGap;
        fixture_.setGeometry(left, kMargin, fixtureWidth, row);
        left += fixtureWidth + kGap;
    }
    const bool oneRow = OneRow(width());
    const int wordWidth = oneRow || DetailsBeside(width()) ? WidestWord() : inner;
    const int serialRight = oneRow ? width() - kMargin - wordWidth - kGap : width() - kMargin;
    PlaceSerial(QRect(left, kMargin, std::max(serialRight - left, 1), row));
    headline_.setAlignment((oneRow ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    headline_.setGeometry(oneRow ? width() - kMargin - wordWidth : kMargin,
                          oneRow ? kMargin : kMargin + row, wordWidth, row);
    if (DetailsBeside(width())) {
        const int sideLeft = kMargin + wordWidth + kGap;
        PlaceDetailsStacked(QRect(sideLeft, kMargin + row, width() - kMargin - sideLeft, row));
        return;
    }
    const int bandTop = kMargin + row * (oneRow ? 1 : 2);
    PlaceDetailsInBand(QRect(kMargin, bandTop, inner, std::max(height() - bandTop - kMargin, 1)));
}

// A number too long for its place is made smaller rather than cut.
void VerdictBanner::PlaceSerial(const QRect& place) {
    serial_.setGeometry(place);
    const int natural = QFontMetrics(headline_.font()).horizontalAdvance(serial_.text());
    const int pixels =
        natural > place.width() ? typePixels_ * place.width() / natural : typePixels_;
    serial_.setFont(Sized(font(), pixels, true));
}

// Reasons at the left, then the limits file and Load Limits... at the right.
void VerdictBanner::PlaceDetailsInBand(const QRect& band) {
    limits_.setAlignment(Qt::AlignRight | Qt::AlignTop);
    const QSize button = loadLimits_.sizeHint();
    const int buttonLeft = band.right() + 1 - button.width();
    loadLimits_.setGeometry(buttonLeft, band.top(), button.width(), button.height());
    const int limitsWidth = std::min(TextWidth(limits_) + kGap, band.width() / 3);
    limits_.setGeometry(buttonLeft - kGap - limitsWidth, band.top(), limitsWidth, band.height());
    reasons_.setGeometry(band.left(), band.top(),
                         std::max(buttonLeft - 2 * kGap - limitsWidth - band.left(), 1),
                         band.height());
}

// Reasons on top, the limits file and Load Limits... on the line below them.
void VerdictBanner::PlaceDetailsStacked(const QRect& block) {
    reasons_.setGeometry(block.left(), block.top(), block.width(), ReasonsHeight());
    const QSize button = loadLimits_.sizeHint();
    const int lineTop = block.bottom() + 1 - button.height();
    const int buttonLeft = block.right() + 1 - button.width();
    loadLimits_.setGeometry(buttonLeft, lineTop, button.width(), button.height());
    limits_.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    limits_.setGeometry(block.left(), lineTop, std::max(buttonLeft - kGap - block.left(), 1),
                        button.height());
}

}  // namespace orvalt
