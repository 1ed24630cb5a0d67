#include "ImportOptions.h"

#include <cmath>
#include <locale>
#include <sstream>

namespace brelka {

namespace {

std::string Number(double value) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << value;
    return out.str();
}

// A number typed into a field, with a decimal point or comma; false for anything else.
bool ParseNumber(std::string text, double& value) {
    for (char& c : text)
        if (c == ',') c = '.';
    // A typographic minus is a minus.
    const std::string minus = "\xe2\x88\x92";
    if (text.compare(0, minus.size(), minus) == 0) text = "-" + text.substr(minus.size());
    // The decimal point is '.', whatever the program's locale says.
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    in >> value;
    if (in.fail()) return false;
    in >> std::ws;
    return in.eof() && std::isfinite(value);
}

bool ReadField(const std::string& text, const char* field, double lo, double hi, const char* unit,
               double& value, std::string& error) {
    if (ParseNumber(text, value) && value >= lo && value <= hi) return true;
    error = std::string("\"") + text + "\" is no value for " + field + ": type a number from " +
            Number(lo) + " to " + Number(hi) + " " + unit + ".";
    return false;
}

} // namespace

ImportOptionsForm FormOf(const PrepOptions& options) {
    ImportOptionsForm form;
    form.trim = options.trimDb.has_value();
    if (form.trim) form.trimDb = Number(*options.trimDb);
    form.normalize = !options.normalizeDb ? 0 : options.kit ? 2 : 1;
    if (options.normalizeDb) form.normalizeDb = Number(*options.normalizeDb);
    form.fadeIn = options.fadeInMs > 0;
    if (form.fadeIn) form.fadeInMs = Number(options.fadeInMs);
    form.fadeOut = options.fadeOutMs > 0;
    if (form.fadeOut) form.fadeOutMs = Number(options.fadeOutMs);
    form.dither = options.dither;
    return form;
}

bool ReadImportOptions(const ImportOptionsForm& form, PrepOptions& options, std::string& error) {
    PrepOptions read;
    double value = 0;
    if (form.trim) {
        if (!ReadField(form.trimDb, "the trim threshold", -120, 0, "dBFS", value, error))
            return false;
        read.trimDb = value;
    }
    if (form.normalize != 0) {
        if (!ReadField(form.normalizeDb, "the normalize level", -60, 0, "dBFS", value, error))
            return false;
        read.normalizeDb = value;
        read.kit = form.normalize == 2;
    }
    if (form.fadeIn) {
        if (!ReadField(form.fadeInMs, "the fade-in", 0, 60000, "ms", value, error)) return false;
        read.fadeInMs = value;
    }
    if (form.fadeOut) {
        if (!ReadField(form.fadeOutMs, "the fade-out", 0, 60000, "ms", value, error)) return false;
        read.fadeOutMs = value;
    }
    read.dither = form.dither;
    options = read;
    return true;
}

std::string ImportOptionsMenuText(const PrepOptions& options) {
    if (!options.Any()) return "Import Options...";
    return "Import Options (" + options.Summary() + ")...";
}

} // namespace brelka
