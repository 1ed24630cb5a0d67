#include "DropPlan.h"

#include <algorithm>
#include <cctype>

#include "AudioFile.h"
#include "Files.h"
#include "FolderSearch.h"
#include "Path.h"
#include "SampleFile.h"

namespace brelka {

namespace {

bool HasSoundExtension(const std::string& name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    std::string ext = name.substr(dot + 1);
    for (auto& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == "wav" || ext == "aif" || ext == "aiff";
}

} // namespace

std::vector<std::string> SoundFilesIn(const std::string& folder) {
    std::vector<std::string> files;
    const std::string base = platform::WithTrailingSeparator(folder);
    for (const auto& entry : platform::FindEntries(base, "*")) {
        if (entry.isDirectory || !HasSoundExtension(entry.name)) continue;
        const std::string path = base + entry.name;
        if (platform::IsRegularFile(path)) files.push_back(path);
    }
    return files;
}

bool IsUsableSource(const std::string& path) {
    AudioFile file;
    return OpenSource(file, path) == kAudioFileOk;
}

bool NameOrderLess(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[j]);
        if (std::isdigit(ca) && std::isdigit(cb)) {
            size_t ei = i, ej = j;
            while (ei < a.size() && a[ei] == '0')
                ++ei;
            while (ej < b.size() && b[ej] == '0')
                ++ej;
            size_t di = ei, dj = ej;
            while (di < a.size() && std::isdigit(static_cast<unsigned char>(a[di])))
                ++di;
            while (dj < b.size() && std::isdigit(static_cast<unsigned char>(b[dj])))
                ++dj;
            // The longer run of significant digits is the larger number.
            if (di - ei != dj - ej) return di - ei < dj - ej;
            const int c = a.compare(ei, di - ei, b, ej, dj - ej);
            if (c != 0) return c < 0;
            i = di;
            j = dj;
            continue;
        }
        const int la = std::tolower(ca), lb = std::tolower(cb);
        if (la != lb) return la < lb;
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size()) return j < b.size();
    return a < b; // the same but for letter case or leading zeros: still one order
}

DropPlan PlanDrop(const std::vector<std::string>& paths, int firstSlot) {
    DropPlan plan;
    std::vector<std::string> files;
    for (const auto& p : paths) {
        if (platform::IsDirectory(p)) {
            const auto inside = SoundFilesIn(p);
            files.insert(files.end(), inside.begin(), inside.end());
        } else {
            files.push_back(p);
        }
    }
    // By name, then by the whole path: one order whatever the file system listed first, and the
    // same path given twice side by side.
    std::sort(files.begin(), files.end(), [](const std::string& a, const std::string& b) {
        const std::string na = platform::FileNameOf(a), nb = platform::FileNameOf(b);
        if (NameOrderLess(na, nb)) return true;
        if (NameOrderLess(nb, na)) return false;
        return a < b;
    });
    files.erase(std::unique(files.begin(), files.end()), files.end());
    auto refuse = [&](const std::string& error, const std::string& file) {
        plan.ok = false;
        plan.error = error;
        plan.file = file;
        plan.items.clear();
        return plan;
    };
    if (files.empty())
        return refuse("There is no WAV or AIFF file in what was dropped.",
                      paths.empty() ? std::string() : paths.front());
    const auto count = static_cast<int>(files.size());
    if (firstSlot < 1 || firstSlot + count - 1 > kSlotCount) {
        const size_t first = firstSlot < 1 ? 0 : static_cast<size_t>(kSlotCount - firstSlot + 1);
        return refuse(std::to_string(count) + " files from slot " + std::to_string(firstSlot) +
                          " would run past slot 60: " + platform::FileNameOf(files[first]) +
                          " and the files after it have no slot. Nothing was imported.",
                      files[first]);
    }
    for (int k = 0; k < count; ++k) {
        const std::string& file = files[static_cast<size_t>(k)];
        if (!IsUsableSource(file))
            return refuse(file + " cannot be read as a WAV or AIFF file. Nothing was imported.",
                          file);
        plan.items.push_back({file, firstSlot + k});
    }
    return plan;
}

} // namespace brelka
