#pragma once
// A user dictionary file as the editor holds it: its rows (surface and replacement pairs, and
// records the engine refuses) among the comment and blank lines, in file order, with the
// file's byte order mark and line ending. Rows and faults come from the engines' own record
// reader (synth/DictionaryFormat.h), so the editor and the engines judge a file alike.
//
// Rows that are not edited are written back byte for byte; comment and blank lines stay
// where they were. Every line is written with the file's line ending (the first one read).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "synth/text/DictionaryFormat.h"

namespace dicteditor {

enum class LineEnding { Lf, CrLf };

class DictionaryDocument {
  public:
    // The editor opens files up to this size; the engines refuse those above
    // synth::kMaxDictionaryFileSize, which the editor reports and lets the user fix.
    static constexpr std::size_t kMaxOpenSize = 4 * synth::kMaxDictionaryFileSize;

    enum class LoadStatus { Loaded, Missing, Unreadable, TooLarge };
    struct LoadResult;
    static LoadResult Load(const std::string& path);
    // Never fails: a record the engine refuses becomes a refused row holding its text.
    static DictionaryDocument FromText(std::string_view bytes);

    // The file's bytes as they are to be saved.
    std::string ToText() const;
    bool HasByteOrderMark() const { return m_bBom; }
    LineEnding Ending() const { return m_ending; }

    std::size_t RowCount() const { return m_rows.size(); }
    // A refused row read from the file shows its whole text as the surface until edited.
    const std::string& Surface(std::size_t row) const;
    const std::string& Replacement(std::size_t row) const;
    // Why the engine refuses the file for this row; None when it takes the row.
    synth::DictionaryFault RowFault(std::size_t row) const;
    // A later row has the same surface, so the engine never uses this one.
    bool RowShadowed(std::size_t row) const;
    // The row's first line in the file as last read or saved; 0 for a row added since.
    int RowLine(std::size_t row) const;

    void SetSurface(std::size_t row, std::string surface);
    void SetReplacement(std::size_t row, std::string replacement);
    // Appends a row at the end of the file and returns its index.
    std::size_t AddRow(std::string surface, std::string replacement);
    void RemoveRow(std::size_t row);
    bool Dirty() const { return m_bDirty; }

    struct Verdict {
        synth::DictionaryError error;    // fault None: the engine loads the file
        std::optional<std::size_t> row;  // the row the fault lies in, if it lies in one
    };
    // What the engine's loader makes of ToText().
    Verdict Check() const;

    enum class SaveStatus { Saved, ReadOnly, EngineWouldRefuse, Failed };
    struct SaveResult {
        SaveStatus status = SaveStatus::Failed;
        Verdict verdict;  // EngineWouldRefuse
        int errnum = 0;   // Failed
    };
    // Replaces the file (or the file a symbolic link names) atomically: a temporary file in
    // the same folder, written, synced, given the old file's permissions and renamed over
    // it. A read-only file is never replaced. Unless evenIfRefused, a text the engine would
    // refuse is not saved. On success the document is clean.
    SaveResult Save(const std::string& path, bool evenIfRefused);

  private:
    struct Item {
        synth::DictionaryRecord::Kind kind;
        std::string raw;  // as read, without the line ending; written while !edited
        std::string surface, replacement;
        synth::DictionaryFault fault = synth::DictionaryFault::None;
        int line = 0;
        bool edited = false;
        bool isRow() const;
    };
    std::string ItemText(const Item& item) const;
    Item& EditRow(std::size_t row);
    void Renumber();
    void Changed();

    std::vector<Item> m_items;
    std::vector<std::size_t> m_rows;  // indices of the row items in m_items
    bool m_bBom = false;
    bool m_bFinalNewline = true;
    LineEnding m_ending = LineEnding::Lf;
    bool m_bDirty = false;
    mutable std::vector<bool> m_shadowed;
    mutable bool m_bShadowedKnown = false;
};

struct DictionaryDocument::LoadResult {
    LoadStatus status = LoadStatus::Unreadable;
    int errnum = 0;
    std::optional<DictionaryDocument> document;
};

// True when the file exists and may not be written: no write permission for us, or no
// write bit at all (which root would otherwise ignore).
bool IsReadOnlyFile(const std::string& path);

}  // namespace dicteditor
