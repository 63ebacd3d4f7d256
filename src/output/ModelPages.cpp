#include "output/ModelPages.h"

#include "output/HtmlEscaped.h"
#include "output/HtmlParts.h"
#include "output/SpcPage.h"

namespace orvalt {

namespace {

std::string Title(const std::string& model) {
    return std::string("<h1>Model <span class=\"model\">")
        .append(HtmlEscaped(model))
        .append("</span></h1>");
}

// Another count of runs, on the same page.
std::string RunsForm(const std::string& model, std::size_t last) {
    return std::string("<form action=\"/model\" method=\"get\"><input type=\"hidden\" ")
        .append("name=\"name\" value=\"")
        .append(HtmlEscaped(model))
        .append("\"><label>Newest runs <input name=\"last\" type=\"number\" min=\"1\" max=\"")
        .append(std::to_string(kModelRunsMost))
        .append("\" value=\"")
        .append(std::to_string(last))
        .append("\"></label> <button>Show</button></form>");
}

}  // namespace

std::string ModelPageMain(const std::string& model, std::size_t last,
                          const std::vector<JudgedSeries>& all) {
    SeriesWindow window;
    window.last = last;
    return Title(model)
        .append(RunsForm(model, last))
        .append("<p class=\"note\">Each series' baseline is its first units: a baseline frozen ")
        .append("at a station is kept in that station's settings, which the dashboard does not ")
        .append("read.</p>")
        .append(SpcCharts(window, all));
}

std::string ModelWithoutChartsMain(const std::string& model, std::size_t last,
                                   const std::string& why) {
    return Title(model)
        .append(RunsForm(model, last))
        .append("<p class=\"note\">")
        .append(HtmlEscaped(why))
        .append("</p>");
}

std::string ModelsPageMain(const std::vector<YieldRow>& models) {
    std::string html = std::string("<h1>Models</h1><p class=\"note\">Recorded in the last ")
                           .append(std::to_string(kModelsLookBackDays))
                           .append(" days.</p>");
    if (models.empty()) {
        return html + "<p class=\"note\">No model.</p>";
    }
    html +=
        "<table id=\"models\"><thead><tr><th>Model</th><th>Units</th><th>Tests</th>"
        "<th>First pass</th><th>Final</th></tr></thead><tbody>";
    for (const YieldRow& row : models) {
        html.append("<tr><td>")
            .append(ModelLink(row.group))
            .append("</td>")
            .append(Cell(std::to_string(row.units), "num"))
            .append(Cell(std::to_string(row.tests), "num"))
            .append(Cell(Percent(row.firstPass, row.judgedUnits), "num"))
            .append(Cell(Percent(row.finalPass, row.judgedUnits), "num"))
            .append("</tr>");
    }
    return html + "</tbody></table>";
}

}  // namespace orvalt
