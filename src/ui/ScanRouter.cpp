#include "ui/ScanRouter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <algorithm>

namespace orvalt {

namespace {

bool IsEnter(const QKeyEvent& key) {
    return key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter;
}

// A scanner presses Shift before each capital and lets go after it: a key of
// its own, which must neither end a burst nor begin one.
bool IsModifierAlone(const QKeyEvent& key) {
    switch (key.key()) {
        case Qt::Key_Shift:
        case Qt::Key_Control:
        case Qt::Key_Meta:
        case Qt::Key_Alt:
        case Qt::Key_AltGr:
        case Qt::Key_CapsLock:
        case Qt::Key_NumLock:
            return true;
        default:
            return false;
    }
}

// What a scanner types: printable text, at most with Shift held.
bool TypesText(const QKeyEvent& key) {
    const Qt::KeyboardModifiers held = key.modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    return held == Qt::NoModifier && !key.text().isEmpty() && key.text().at(0).isPrint();
}

}  // namespace

ScanRouter::ScanRouter(QWidget& window, QLineEdit& serial, std::vector<QLineEdit*> ownScans)
    : window_(window), serial_(serial), ownScans_(std::move(ownScans)) {
    clock_.start();
    qApp->installEventFilter(this);
}

ScanRouter::~ScanRouter() {
    qApp->removeEventFilter(this);
}

bool ScanRouter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) {
        return false;
    }
    auto* target = static_cast<QWidget*>(watched);
    // A message box or dialog of the window is a window of its own: not ours.
    if (target != &window_ && !window_.isAncestorOf(target)) {
        return false;
    }
    return Route(*target, static_cast<QKeyEvent&>(*event));
}

bool ScanRouter::TakesScans(const QWidget& target) const {
    return &target == &serial_ ||
           std::find(ownScans_.begin(), ownScans_.end(), &target) != ownScans_.end();
}

bool ScanRouter::Route(QWidget& target, QKeyEvent& key) {
    if (IsModifierAlone(key)) {
        return false;
    }
    keyMs_ = KeyMs(key);
    auto* edit = qobject_cast<QLineEdit*>(&target);
    if (TakesScans(target)) {
        if (IsEnter(key)) {
            edit->selectAll();  // the next scan replaces this one
        }
        return false;
    }
    if (edit && !edit->isReadOnly()) {
        if (IsEnter(key)) {
            EnterInOtherEdit(*edit);
        } else if (TypesText(key)) {
            IntoOtherEdit(*edit, key.text());
        } else {
            recognizer_.Interrupted();
        }
        return false;
    }
    if (!TypesText(key)) {
        recognizer_.Interrupted();
        return false;
    }
    return IntoSerial(key);
}

void ScanRouter::IntoOtherEdit(QLineEdit& edit, const QString& text) {
    if (recognizer_.Typed(text.toStdString(), keyMs_) || burstEdit_ != &edit) {
        burstEdit_ = &edit;
        beforeBurst_ = edit.text();
    }
}

void ScanRouter::EnterInOtherEdit(QLineEdit& edit) {
    const auto scanned = recognizer_.Entered(keyMs_);
    if (!scanned || burstEdit_ != &edit) {
        return;
    }
    edit.setText(beforeBurst_);
    serial_.setText(QString::fromStdString(*scanned));
    serial_.setFocus(Qt::OtherFocusReason);
    serial_.selectAll();
}

// When the key reached the window system, where it carries that time: keys
// that queued while the window was busy still show the scanner's own pace.
// Keys made up by a program carry none and are timed as they are handled.
std::uint64_t ScanRouter::KeyMs(const QKeyEvent& key) const {
    if (key.timestamp() != 0) {
        return key.timestamp();
    }
    return static_cast<std::uint64_t>(clock_.elapsed());
}

// A space on a button or a check box presses it, unless a scan is going on.
bool ScanRouter::IntoSerial(QKeyEvent& key) {
    const bool space = key.text() == QStringLiteral(" ");
    const bool begins = window_.focusWidget() != &serial_;
    if (space && begins) {
        return false;
    }
    if (begins) {
        serial_.setFocus(Qt::OtherFocusReason);
        serial_.selectAll();
    }
    QKeyEvent copy(key.type(), key.key(), key.modifiers(), key.text(), key.isAutoRepeat(),
                   static_cast<ushort>(key.count()));
    QApplication::sendEvent(&serial_, &copy);
    return true;
}

}  // namespace orvalt
