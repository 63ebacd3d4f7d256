#pragma once
// A series is judged as the station shows its values: to the decimals of the
// measurement. Nothing finer than one step of the last shown digit is a
// signal, so sigma never goes below it and a point within one step of the
// centre lies on neither side.

namespace orvalt {

struct Resolution {
    int decimals = 2;

    // One step of the last shown digit: 0.01 for two decimals, 1 for counts.
    double Step() const;
    // `value` rounded to the shown digits.
    double Shown(double value) const;
    // `value` rounded to the shown digits, counted in steps of the last one:
    // 0.75 shown to two decimals is 75.
    double Steps(double value) const;
};

}  // namespace orvalt
