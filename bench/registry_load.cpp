// How fast the settings file is read and written at sizes no real file reaches,
// and that the time grows in step with the size (a parser that went quadratic
// on some shape of input would show a ratio far above 2 here).

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "domain/Format.h"
#include "config/RegText.h"

namespace {

using orvalt::Format;

std::string Repeat(std::size_t bytes, const std::function<std::string(std::size_t)>& piece) {
    std::string text =
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Kestrune\\Orvalt\\Location]\r\n";
    for (std::size_t i = 0; text.size() < bytes; ++i) {
        text += piece(i);
    }
    return text;
}

struct Shape {
    const char* name;
    std::function<std::string(std::size_t)> piece;
};

double SecondsToParse(const std::string& text, std::size_t& keys) {
    const auto start = std::chrono::steady_clock::now();
    const orvalt::RegDocument document = orvalt::ParseRegText(text);
    keys = document.Keys().size();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main() {
    const std::vector<Shape> shapes{
        {"distinct values",
         [](std::size_t i) { return Format("\"Value%zu\"=dword:%08zx\r\n", i, i); }},
        {"one name repeated",
         [](std::size_t i) { return Format("\"A\"=\"%zu\"\r\n\"A\"=-\r\n", i); }},
        {"distinct keys",
         [](std::size_t i) { return Format("[HKEY_CURRENT_USER\\K%zu]\r\n\"V\"=\"x\"\r\n", i); }},
        {"one hex value",
         [](std::size_t i) {
             return i == 0 ? std::string("\"H\"=hex:00") : std::string(",\\\r\n  01,02");
         }},
        {"one line of quotes", [](std::size_t) { return std::string(4096, '"'); }},
        {"unclosed texts",
         [](std::size_t) { return std::string("\"Name\"=\"no closing quote \\\" here\r\n"); }},
    };
    std::printf("%-20s %10s %10s %10s %8s\n", "shape", "25 MB s", "50 MB s", "MB/s", "ratio");
    for (const Shape& shape : shapes) {
        std::size_t keys = 0;
        const double half = SecondsToParse(Repeat(25u << 20, shape.piece), keys);
        const double full = SecondsToParse(Repeat(50u << 20, shape.piece), keys);
        std::printf("%-20s %10.3f %10.3f %10.1f %8.2f\n", shape.name, half, full, 50.0 / full,
                    full / half);
    }
    const std::string text = Repeat(50u << 20, shapes[0].piece);
    const orvalt::RegDocument document = orvalt::ParseRegText(text);
    const auto start = std::chrono::steady_clock::now();
    const std::string written = orvalt::FormatRegText(document);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("write %zu MB of distinct values: %.3f s\n", written.size() >> 20, seconds);
    return 0;
}
