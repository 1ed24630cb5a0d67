// Undo and redo of the changes the program makes to a card. A step is one action as the user
// sees it (an import, a drop of many files, a move, a restore): before it writes, the action
// names the files of the card folder it may change, and the history keeps their bytes outside
// the card; once the action is done, the history notes what the files became. Undo puts back
// the exact bytes each file had (and removes the files the step created), but only while every
// one of them is still as the step left it: a file changed since by anything else (the machine,
// another program, another card in the slot) refuses the undo and leaves everything as it is.
// Redo is the same the other way. Each card folder has a history of its own; all of it is
// freed with the history.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace brelka {

// What a file is: missing, or its size and a hash of its bytes.
struct FileState {
    bool exists = false;
    int64_t size = 0;
    uint64_t hash = 0;
    bool operator==(const FileState& o) const {
        return exists == o.exists && size == o.size && hash == o.hash;
    }
    bool operator!=(const FileState& o) const { return !(*this == o); }
};
FileState StateOfFile(const std::string& path);

struct HistoryResult {
    bool ok = true;
    std::string file;    // the file that refused it, or that could not be written
    std::string message; // for a message box: what happened and what to do
};

class CardHistory {
  public:
    // Keeps what steps replace in a folder of its own under `storageRoot` (the system's
    // temporary folder when empty), removed with the history.
    explicit CardHistory(const std::string& storageRoot = "");
    ~CardHistory();
    CardHistory(const CardHistory&) = delete;
    CardHistory& operator=(const CardHistory&) = delete;

    class Step;
    // Starts a step that may change these files (names in `folder`); keeps their bytes. Null
    // when they could not be kept (the storage is full or cannot be written): the caller
    // should not go on.
    std::unique_ptr<Step> Begin(const std::string& folder, const std::vector<std::string>& files,
                                const std::string& label, HistoryResult* why = nullptr);
    // The action is done: the step becomes the folder's newest, and what was undone is gone.
    void Commit(std::unique_ptr<Step> step);
    // The action failed partway: every file goes back to what it was at Begin. The step is
    // dropped either way.
    HistoryResult Rollback(std::unique_ptr<Step> step);

    bool CanUndo(const std::string& folder) const;
    bool CanRedo(const std::string& folder) const;
    // "Import into 05": the label of the step Undo or Redo would take (empty when none).
    std::string UndoLabel(const std::string& folder) const;
    std::string RedoLabel(const std::string& folder) const;
    HistoryResult Undo(const std::string& folder);
    HistoryResult Redo(const std::string& folder);

    const std::string& storage() const { return storage_; }

  private:
    struct Folder;
    Folder& FolderOf(const std::string& folder);
    const Folder* FindFolder(const std::string& folder) const;
    std::string NewStorageName();

    std::string storage_;
    uint64_t counter_ = 0;
    std::map<std::string, std::unique_ptr<Folder>> folders_;
};

class CardHistory::Step {
  public:
    struct File {
        std::string path;
        FileState before;
        FileState after;
        std::string beforeCopy; // where the history keeps its bytes ("" when it did not exist)
        std::string afterCopy;  // kept once an undo has replaced them
    };
    const std::string& label() const { return label_; }
    const std::vector<File>& files() const { return files_; }

  private:
    friend class CardHistory;
    std::string folder_;
    std::string label_;
    std::vector<File> files_;
};

} // namespace brelka
