#pragma once
// The verdict panel across the top of the window, to be read from across the
// line: the fixture's name on its accent colour, the unit's serial number and
// the word (READY, TESTING..., PASS, FAIL, ERROR, NOT JUDGED) in type of an
// eighth of the window's height, then the reasons in the operator's words and
// the limits file in force with "Load Limits..." beside it. The word sits
// beside the serial number when the width allows, else below it.

#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <string>

#include "station/VerdictFace.h"

namespace orvalt {

class VerdictBanner final : public QWidget {
    Q_OBJECT

  public:
    explicit VerdictBanner(QWidget* parent = nullptr);

    // The height of the large type, in pixels; the window gives an eighth of
    // its own height.
    void SetTypePixels(int pixels);
    int TypePixels() const { return typePixels_; }
    // The height the panel needs at `width` with the type set.
    int HeightFor(int width) const;

    // Hidden for the station without a fixture name.
    void SetFixture(const QString& name, const QColor& accent);
    void SetSerial(const QString& serial);
    void ShowFace(const VerdictFace& face);
    // At Start, before the session has told anything of the run.
    void ShowTesting();

    QString Headline() const { return headline_.text(); }
    // The unit's number as given; the panel says when there is none.
    QString Serial() const { return serialNumber_; }
    QString ReasonsText() const { return reasons_.text(); }
    QString LimitsText() const { return limits_.text(); }
    QColor Colour() const;
    VerdictTone Tone() const { return tone_; }
    // The labels, for tests that measure what the operator sees.
    const QLabel& HeadlineLabel() const { return headline_; }
    const QLabel& SerialLabel() const { return serial_; }
    const QLabel& FixtureLabel() const { return fixture_; }
    QPushButton& LoadLimitsButton() { return loadLimits_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    bool OneRow(int width) const;
    bool DetailsBeside(int width) const;
    int WidestWord() const;
    int ReasonsHeight() const;
    int BandHeight() const;
    void Arrange();
    void PlaceSerial(const QRect& place);
    void PlaceDetailsInBand(const QRect& band);
    void PlaceDetailsStacked(const QRect& block);
    void PaintTone();

    int typePixels_ = 48;
    QString serialNumber_;
    VerdictTone tone_ = VerdictTone::Ready;
    QLabel fixture_;
    QLabel serial_;
    QLabel headline_;
    QLabel reasons_;
    QLabel limits_;
    QPushButton loadLimits_;
};

}  // namespace orvalt
