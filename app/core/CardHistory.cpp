#include "CardHistory.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

#include "Files.h"
#include "JobCommon.h"

namespace brelka {

namespace {

constexpr size_t kChunk = 1 << 16;

// Gives `path` the bytes kept in `copy`, or removes it when the state to reach is a missing
// file; written beside it first and moved over it, like every slot write.
bool Reach(const std::string& path, const FileState& state, const std::string& copy) {
    if (!state.exists) return platform::RemoveFile(path);
    const std::string temporary = path + ".tmp";
    if (!CopyFileBytes(copy, temporary)) return false;
    if (!platform::MoveFileOver(temporary, path)) {
        platform::RemoveFile(temporary);
        return false;
    }
    return StateOfFile(path) == state;
}

// "slot 05 (E:\SAMPLE04.BIN)" for a slot file, else the path.
std::string Describe(const std::string& path) {
    const std::string name = platform::Utf8Path(platform::FsPath(path).filename());
    unsigned n = 0;
    if (name.size() == 12 && std::sscanf(name.c_str(), "SAMPLE%2u.BIN", &n) == 1 && n < 60) {
        char slot[16];
        std::snprintf(slot, sizeof slot, "slot %02u", n + 1);
        return std::string(slot) + " (" + path + ")";
    }
    return path;
}

HistoryResult Refused(const std::string& path, const std::string& what) {
    return {false, path,
            Describe(path) +
                " has changed since brelka wrote it (on the machine, or by another "
                "program), so it was not " +
                what + ". Nothing on the card was changed."};
}

HistoryResult WriteFailed(const std::string& path, const std::string& what) {
    return {false, path,
            Describe(path) + " could not be written, so the step was not " + what +
                ". Check that the card is in place, not full and not write-protected."};
}

} // namespace

FileState StateOfFile(const std::string& path) {
    FileState state;
    if (!platform::IsRegularFile(path)) return state;
    std::FILE* f = platform::OpenFile(path, "rb");
    if (!f) return state;
    state.exists = true;
    state.hash = 14695981039346656037ULL;
    std::vector<unsigned char> buffer(kChunk);
    size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), f)) > 0) {
        for (size_t i = 0; i < n; ++i)
            state.hash = (state.hash ^ buffer[i]) * 1099511628211ULL;
        state.size += static_cast<int64_t>(n);
    }
    std::fclose(f);
    return state;
}

struct CardHistory::Folder {
    std::vector<std::unique_ptr<Step>> undo;
    std::vector<std::unique_ptr<Step>> redo;
};

CardHistory::CardHistory(const std::string& storageRoot) {
    std::error_code ec;
    std::filesystem::path root = storageRoot.empty() ? std::filesystem::temp_directory_path(ec)
                                                     : platform::FsPath(storageRoot);
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto name = "brelka-history-" + std::to_string(random()) + std::to_string(attempt);
        if (std::filesystem::create_directory(root / name, ec)) {
            storage_ = platform::Utf8Path(root / name);
            break;
        }
    }
}

CardHistory::~CardHistory() {
    if (storage_.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(platform::FsPath(storage_), ec);
}

std::string CardHistory::NewStorageName() {
    return platform::Utf8Path(platform::FsPath(storage_) / ("kept" + std::to_string(++counter_)));
}

CardHistory::Folder& CardHistory::FolderOf(const std::string& folder) {
    auto& slot = folders_[folder];
    if (!slot) slot = std::make_unique<Folder>();
    return *slot;
}

const CardHistory::Folder* CardHistory::FindFolder(const std::string& folder) const {
    const auto it = folders_.find(folder);
    return it == folders_.end() ? nullptr : it->second.get();
}

std::unique_ptr<CardHistory::Step> CardHistory::Begin(const std::string& folder,
                                                      const std::vector<std::string>& files,
                                                      const std::string& label,
                                                      HistoryResult* why) {
    auto step = std::make_unique<Step>();
    step->folder_ = folder;
    step->label_ = label;
    for (const std::string& path : files) {
        Step::File file;
        file.path = path;
        file.before = StateOfFile(path);
        if (file.before.exists) {
            file.beforeCopy = NewStorageName();
            if (storage_.empty() || !CopyFileBytes(path, file.beforeCopy)) {
                if (why)
                    *why = {false, path,
                            "What " + Describe(path) +
                                " holds could not be kept for Undo, so nothing was written. "
                                "Make room on the computer's disk and try again."};
                for (const auto& f : step->files_)
                    platform::RemoveFile(f.beforeCopy);
                return nullptr;
            }
        }
        step->files_.push_back(std::move(file));
    }
    return step;
}

void CardHistory::Commit(std::unique_ptr<Step> step) {
    if (!step) return;
    for (auto& file : step->files_)
        file.after = StateOfFile(file.path);
    Folder& f = FolderOf(step->folder_);
    for (const auto& undone : f.redo)
        for (const auto& file : undone->files_) {
            platform::RemoveFile(file.beforeCopy);
            platform::RemoveFile(file.afterCopy);
        }
    f.redo.clear();
    f.undo.push_back(std::move(step));
}

HistoryResult CardHistory::Rollback(std::unique_ptr<Step> step) {
    HistoryResult result;
    if (!step) return result;
    // A full card has room for what it held, but maybe not for a file's copy beside it: the
    // files that shrink go back first, and a file without room for its copy is replaced in
    // place (what it holds now is the failed action's, and what it is to hold is kept here).
    std::vector<std::pair<int64_t, const Step::File*>> order;
    for (const auto& file : step->files_) {
        const FileState now = StateOfFile(file.path);
        if (now != file.before)
            order.emplace_back((file.before.exists ? file.before.size : 0) - now.size, &file);
    }
    // Ties stay in the step's order (the files lie in order in the step).
    std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first < b.first : a.second < b.second;
    });
    std::vector<std::string> kept; // copies of files that could not be put back
    for (const auto& [growth, file] : order) {
        if (Reach(file->path, file->before, file->beforeCopy)) continue;
        if (platform::RemoveFile(file->path) && CopyFileBytes(file->beforeCopy, file->path) &&
            StateOfFile(file->path) == file->before)
            continue;
        // What it held is not thrown away: it stays in the history's folder until the program
        // ends.
        if (file->before.exists) kept.push_back(file->beforeCopy);
        if (!result.ok) continue;
        result = WriteFailed(file->path, "put back");
        if (file->before.exists) result.message += " What it held is kept in " + kept.back() + ".";
    }
    for (const auto& file : step->files_)
        if (std::find(kept.begin(), kept.end(), file.beforeCopy) == kept.end())
            platform::RemoveFile(file.beforeCopy);
    return result;
}

bool CardHistory::CanUndo(const std::string& folder) const {
    const Folder* f = FindFolder(folder);
    return f && !f->undo.empty();
}

bool CardHistory::CanRedo(const std::string& folder) const {
    const Folder* f = FindFolder(folder);
    return f && !f->redo.empty();
}

std::string CardHistory::UndoLabel(const std::string& folder) const {
    return CanUndo(folder) ? FindFolder(folder)->undo.back()->label_ : std::string();
}

std::string CardHistory::RedoLabel(const std::string& folder) const {
    return CanRedo(folder) ? FindFolder(folder)->redo.back()->label_ : std::string();
}

// Takes every file of the step to what it was after it (forward) or before it; when one cannot
// be written, the files already turned go back, so the card stays as it was.
HistoryResult CardHistory::Turn(const Step& step, bool forward, const char* what) {
    auto reach = [](const Step::File& file, bool after) {
        return after ? Reach(file.path, file.after, file.afterCopy)
                     : Reach(file.path, file.before, file.beforeCopy);
    };
    for (size_t i = 0; i < step.files_.size(); ++i) {
        const auto& file = step.files_[i];
        if (file.before == file.after || reach(file, forward)) continue;
        for (size_t j = 0; j <= i; ++j)
            reach(step.files_[j], !forward);
        return WriteFailed(file.path, what);
    }
    return {};
}

HistoryResult CardHistory::Undo(const std::string& folder) {
    if (!CanUndo(folder)) return {false, "", "There is nothing to undo."};
    Folder& f = FolderOf(folder);
    Step& step = *f.undo.back();
    for (const auto& file : step.files_)
        if (StateOfFile(file.path) != file.after) return Refused(file.path, "undone");
    for (auto& file : step.files_) {
        if (file.after.exists && file.afterCopy.empty()) {
            file.afterCopy = NewStorageName();
            if (!CopyFileBytes(file.path, file.afterCopy)) {
                file.afterCopy.clear();
                return {false, file.path,
                        "What " + Describe(file.path) +
                            " holds could not be kept for Redo, so nothing was undone. Make "
                            "room on the computer's disk and try again."};
            }
        }
    }
    if (HistoryResult failed = Turn(step, false, "undone"); !failed.ok) return failed;
    f.redo.push_back(std::move(f.undo.back()));
    f.undo.pop_back();
    return {};
}

HistoryResult CardHistory::Redo(const std::string& folder) {
    if (!CanRedo(folder)) return {false, "", "There is nothing to redo."};
    Folder& f = FolderOf(folder);
    Step& step = *f.redo.back();
    for (const auto& file : step.files_)
        if (StateOfFile(file.path) != file.before) return Refused(file.path, "redone");
    if (HistoryResult failed = Turn(step, true, "redone"); !failed.ok) return failed;
    f.undo.push_back(std::move(f.redo.back()));
    f.redo.pop_back();
    return {};
}

} // namespace brelka
