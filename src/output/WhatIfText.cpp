#include "output/WhatIfText.h"

#include "domain/Joined.h"
#include "domain/PrintableText.h"
#include "domain/VerdictWord.h"
#include "output/HtmlEscaped.h"
#include "output/HtmlParts.h"
#include "output/PageStyle.h"

namespace orvalt {

namespace {

std::string Count(std::int64_t n) {
    return std::to_string(n);
}

std::string Heading(const WhatIf& whatIf, const WhatIfSubject& subject) {
    std::string text = std::string("Under ") + PrintableText(subject.limitsName) + " (SHA-256 " +
                       subject.limitsSha256 + "): " + Count(whatIf.runs) +
                       (whatIf.runs == 1 ? " ended run (" : " ended runs (") +
                       PrintableText(subject.runs) + ").";
    if (whatIf.cantJudge > 0) {
        text +=
            std::string(" ") + Count(whatIf.cantJudge) + " left out: their plan no longer reads.";
    }
    return text;
}

std::int64_t Judged(const WhatIf& whatIf) {
    return whatIf.runs - whatIf.cantJudge;
}

std::string YieldLine(const WhatIf& whatIf) {
    const std::int64_t judged = Judged(whatIf);
    return std::string("Passed: ") + Count(whatIf.passedBefore) + " of " + Count(judged) + " (" +
           Percent(whatIf.passedBefore, judged) + ") as recorded, " + Count(whatIf.passedAfter) +
           " of " + Count(judged) + " (" + Percent(whatIf.passedAfter, judged) +
           ") under these limits.";
}

std::string UnitText(const ChangedRun& run) {
    std::string unit = run.serial.empty() ? std::string("-") : PrintableText(run.serial);
    if (!run.serial.empty() && run.attempt) {
        unit += std::string(" #") + std::to_string(*run.attempt);
    }
    return unit;
}

std::string ShiftCells(const MeasurementShift& shift) {
    return Cell(PrintableText(shift.measurement)) + Cell(std::to_string(shift.testIndex + 1)) +
           Cell(Count(shift.passToFail)) + Cell(Count(shift.failToPass)) +
           Cell(Count(shift.nowJudged)) + Cell(Count(shift.noLongerJudged));
}

}  // namespace

std::string WhatIfText(const WhatIf& whatIf, const WhatIfSubject& subject) {
    std::string text = Heading(whatIf, subject) + "\n" + YieldLine(whatIf) + "\n";
    if (whatIf.shifts.empty()) {
        text += "No measurement's outcome changes.\n";
    }
    for (const MeasurementShift& shift : whatIf.shifts) {
        text += std::string("Test ") + std::to_string(shift.testIndex + 1) + " " +
                PrintableText(shift.measurement) + ": " + Count(shift.passToFail) +
                " PASS to FAIL, " + Count(shift.failToPass) + " FAIL to PASS";
        if (shift.nowJudged + shift.noLongerJudged > 0) {
            text += std::string(", ") + Count(shift.nowJudged) + " judged now, " +
                    Count(shift.noLongerJudged) + " no longer judged";
        }
        text += "\n";
    }
    text += Count(static_cast<std::int64_t>(whatIf.changed.size())) +
            (whatIf.changed.size() == 1 ? " run changes its unit verdict"
                                        : " runs change their unit verdict") +
            (whatIf.changed.empty() ? ".\n" : ":\n");
    for (const ChangedRun& run : whatIf.changed) {
        text += PrintableText(run.startedAt) + "  " + PrintableText(run.uuid) + "  " +
                (run.model.empty() ? std::string("-") : PrintableText(run.model)) + "  " +
                UnitText(run) + "  " + PrintableText(run.before) + " -> " +
                VerdictKindWord(run.after);
        if (!run.reasons.empty()) {
            text += std::string("  ") + PrintableText(Joined(run.reasons, "; "));
        }
        text += "\n";
    }
    return text;
}

std::string WhatIfPageHtml(const WhatIf& whatIf, const WhatIfSubject& subject) {
    std::string html =
        std::string("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>What if: ") +
        HtmlEscaped(subject.limitsName) + "</title><style>" +
        WithVerdictColours(
            "body{font-family:sans-serif;margin:24px;color:#222}"
            ".pass{color:$pass}.fail{color:$fail}.error{color:$error}"
            ".notjudged{color:#666}") +
        TableRules() + "</style></head><body><h1>What if: " + HtmlEscaped(subject.limitsName) +
        "</h1><p>" + HtmlEscaped(Heading(whatIf, subject)) + "</p><p>" +
        HtmlEscaped(YieldLine(whatIf)) + "</p>";
    html += std::string("<h2>Measurements whose outcomes change</h2><table><tr>") +
            HeadCell("Measurement") + HeadCell("Test") + HeadCell("PASS to FAIL") +
            HeadCell("FAIL to PASS") + HeadCell("Judged now") + HeadCell("No longer judged") +
            "</tr>";
    for (const MeasurementShift& shift : whatIf.shifts) {
        html += std::string("<tr>") + ShiftCells(shift) + "</tr>";
    }
    html += std::string("</table><h2>Runs whose unit verdict changes</h2><table><tr>") +
            HeadCell("Started") + HeadCell("Unit") + HeadCell("Run") + HeadCell("Model") +
            HeadCell("Recorded") + HeadCell("Under these limits") + HeadCell("Why") + "</tr>";
    for (const ChangedRun& run : whatIf.changed) {
        html += std::string("<tr>") + Cell(run.startedAt) + Cell(UnitText(run)) + Cell(run.uuid) +
                Cell(run.model) + Cell(run.before) +
                Cell(VerdictKindWord(run.after), VerdictLook(run.after)) +
                Cell(Joined(run.reasons, "; ")) + "</tr>";
    }
    return html + "</table></body></html>";
}

}  // namespace orvalt
