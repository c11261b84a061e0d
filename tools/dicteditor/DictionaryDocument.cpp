#include "tools/dicteditor/DictionaryDocument.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <unordered_set>
#include <utility>

#include "platform/Utf8.h"

namespace dicteditor {
namespace {

using Kind = synth::DictionaryRecord::Kind;
using synth::DictionaryFault;

class Fd {
  public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }

  private:
    int m_fd;
};

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// An edited row's verdict: its line as it will be written, read back as the engine reads it.
DictionaryFault EntryFault(const std::string& line, const std::string& surface,
                           const std::string& replacement) {
    if (!utf8::IsValid(line)) return DictionaryFault::NotUtf8;
    std::size_t pos = 0;
    int lineNo = 1;
    const synth::DictionaryRecord record = synth::ReadDictionaryRecord(line, &pos, &lineNo);
    if (record.kind == Kind::Malformed) return record.fault;
    if (record.kind != Kind::Entry || pos < line.size() || record.surface != surface ||
        record.replacement != replacement)
        return DictionaryFault::NotTwoFields;  // cannot happen while the encoder is right
    return DictionaryFault::None;
}

}  // namespace

bool DictionaryDocument::Item::isRow() const {
    return kind == Kind::Entry || kind == Kind::Malformed;
}

bool IsReadOnlyFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    return ::access(path.c_str(), W_OK) != 0 || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

DictionaryDocument::LoadResult DictionaryDocument::Load(const std::string& path) {
    LoadResult result;
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) {
        result.errnum = errno;
        result.status = errno == ENOENT ? LoadStatus::Missing : LoadStatus::Unreadable;
        return result;
    }
    if (!S_ISREG(st.st_mode)) {
        result.errnum = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return result;
    }
    if (static_cast<std::size_t>(st.st_size) > kMaxOpenSize) {
        result.status = LoadStatus::TooLarge;
        return result;
    }
    std::string bytes;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            result.errnum = errno;
            return result;
        }
        if (n == 0) break;
        bytes.append(buf, static_cast<std::size_t>(n));
        if (bytes.size() > kMaxOpenSize) {
            result.status = LoadStatus::TooLarge;
            return result;
        }
    }
    result.status = LoadStatus::Loaded;
    result.document = FromText(bytes);
    return result;
}

DictionaryDocument DictionaryDocument::FromText(std::string_view text) {
    DictionaryDocument doc;
    if (text.starts_with(synth::kUtf8ByteOrderMark)) {
        doc.m_bBom = true;
        text.remove_prefix(synth::kUtf8ByteOrderMark.size());
    }
    const std::size_t nl = text.find('\n');
    if (nl != std::string_view::npos && nl > 0 && text[nl - 1] == '\r')
        doc.m_ending = LineEnding::CrLf;
    doc.m_bFinalNewline = text.empty() || text.back() == '\n';
    std::size_t pos = 0;
    int line = 1;
    while (pos < text.size()) {
        synth::DictionaryRecord record = synth::ReadDictionaryRecord(text, &pos, &line);
        Item item{record.kind,
                  std::string(text.substr(record.begin, record.end - record.begin)),
                  std::move(record.surface),
                  std::move(record.replacement),
                  record.fault,
                  record.line};
        // A CR before the LF belongs to the line ending, also in a file of LF lines.
        if (record.end < text.size() && item.raw.ends_with('\r')) item.raw.pop_back();
        if (item.isRow() && !utf8::IsValid(item.raw)) {
            item.kind = Kind::Malformed;
            item.fault = DictionaryFault::NotUtf8;
        }
        if (item.kind == Kind::Malformed) item.surface = item.raw;
        if (item.isRow()) doc.m_rows.push_back(doc.m_items.size());
        doc.m_items.push_back(std::move(item));
    }
    return doc;
}

std::string DictionaryDocument::ItemText(const Item& item) const {
    if (!item.edited) return item.raw;
    return synth::EncodeDictionaryField(item.surface, true) + ',' +
           synth::EncodeDictionaryField(item.replacement, false);
}

std::string DictionaryDocument::ToText() const {
    const std::string_view eol = m_ending == LineEnding::CrLf ? "\r\n" : "\n";
    std::string out;
    if (m_bBom) out += synth::kUtf8ByteOrderMark;
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (i > 0) out += eol;
        out += ItemText(m_items[i]);
    }
    if (m_bFinalNewline && !m_items.empty()) out += eol;
    return out;
}

const std::string& DictionaryDocument::Surface(std::size_t row) const {
    return m_items[m_rows[row]].surface;
}

const std::string& DictionaryDocument::Replacement(std::size_t row) const {
    return m_items[m_rows[row]].replacement;
}

synth::DictionaryFault DictionaryDocument::RowFault(std::size_t row) const {
    const Item& item = m_items[m_rows[row]];
    if (!item.edited) return item.fault;
    return EntryFault(ItemText(item), item.surface, item.replacement);
}

bool DictionaryDocument::RowShadowed(std::size_t row) const {
    if (!m_bShadowedKnown) {
        m_shadowed.assign(m_rows.size(), false);
        std::unordered_set<std::string_view> later;
        for (std::size_t r = m_rows.size(); r-- > 0;) {
            if (RowFault(r) != DictionaryFault::None) continue;
            m_shadowed[r] = !later.insert(Surface(r)).second;
        }
        m_bShadowedKnown = true;
    }
    return m_shadowed[row];
}

int DictionaryDocument::RowLine(std::size_t row) const {
    return m_items[m_rows[row]].line;
}

DictionaryDocument::Item& DictionaryDocument::EditRow(std::size_t row) {
    Item& item = m_items[m_rows[row]];
    if (!item.edited && item.kind == Kind::Malformed) item.replacement.clear();
    item.edited = true;
    return item;
}

void DictionaryDocument::SetSurface(std::size_t row, std::string surface) {
    if (Surface(row) == surface) return;
    EditRow(row).surface = std::move(surface);
    Changed();
}

void DictionaryDocument::SetReplacement(std::size_t row, std::string replacement) {
    if (Replacement(row) == replacement) return;
    EditRow(row).replacement = std::move(replacement);
    Changed();
}

std::size_t DictionaryDocument::AddRow(std::string surface, std::string replacement) {
    Item item{Kind::Entry, {}, std::move(surface), std::move(replacement)};
    item.edited = true;
    m_rows.push_back(m_items.size());
    m_items.push_back(std::move(item));
    Changed();
    return m_rows.size() - 1;
}

void DictionaryDocument::RemoveRow(std::size_t row) {
    const std::size_t index = m_rows[row];
    m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(index));
    m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(row));
    for (std::size_t& r : m_rows)
        if (r > index) --r;
    Changed();
}

void DictionaryDocument::Changed() {
    m_bDirty = true;
    m_bShadowedKnown = false;
}

DictionaryDocument::Verdict DictionaryDocument::Check() const {
    Verdict verdict;
    const std::string text = ToText();
    if (synth::ParseDictionary(
            text, [](std::string&&, std::string&&) {}, &verdict.error))
        return verdict;
    // Find the row at the line the engine names; a file-wide fault is put on the first row
    // that causes it, if a row does.
    int line = 1;
    for (std::size_t r = 0, i = 0; i < m_items.size(); ++i) {
        const Item& item = m_items[i];
        const std::string itemText = ItemText(item);
        const bool fileFault = verdict.error.line == 0 &&
                               verdict.error.fault == DictionaryFault::NotUtf8 &&
                               !utf8::IsValid(itemText);
        if (fileFault) verdict.error.line = line;
        if (item.isRow() && (verdict.error.line == line || fileFault)) {
            verdict.row = r;
            break;
        }
        if (fileFault) break;
        if (item.isRow()) ++r;
        line += 1 + static_cast<int>(std::count(itemText.begin(), itemText.end(), '\n'));
    }
    return verdict;
}

void DictionaryDocument::Renumber() {
    int line = 1;
    std::size_t row = 0;
    for (Item& item : m_items) {
        const bool isRow = item.isRow();
        // A row the engine takes is now what the file holds; a refused one stays as typed.
        if (item.edited && RowFault(row) == DictionaryFault::None) {
            item.raw = ItemText(item);
            item.edited = false;
        }
        const std::string text = ItemText(item);
        item.line = line;
        line += 1 + static_cast<int>(std::count(text.begin(), text.end(), '\n'));
        if (isRow) ++row;
    }
}

DictionaryDocument::SaveResult DictionaryDocument::Save(const std::string& path,
                                                        bool evenIfRefused) {
    SaveResult result;
    if (IsReadOnlyFile(path)) {
        result.status = SaveStatus::ReadOnly;
        return result;
    }
    if (!evenIfRefused) {
        result.verdict = Check();
        if (result.verdict.error.fault != DictionaryFault::None) {
            result.status = SaveStatus::EngineWouldRefuse;
            return result;
        }
    }
    auto failed = [&](int errnum) {
        result.status = SaveStatus::Failed;
        result.errnum = errnum;
        return result;
    };

    // Replace what a symbolic link names, not the link.
    std::string target = path;
    if (char* real = ::realpath(path.c_str(), nullptr)) {
        target = real;
        std::free(real);
    }
    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;
    const std::size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string temp = dir + "." + base + ".XXXXXX";
    Fd fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (fd.get() < 0) return failed(errno);
    const mode_t mode = existed ? (old.st_mode & 07777) : 0644;
    const bool written = WriteAll(fd.get(), ToText()) && ::fchmod(fd.get(), mode) == 0 &&
                         ::fsync(fd.get()) == 0 && ::close(fd.release()) == 0;
    if (!written || ::rename(temp.c_str(), target.c_str()) != 0) {
        const int errnum = errno;
        ::unlink(temp.c_str());
        return failed(errnum);
    }
    // The rename is durable only once the folder is synced.
    Fd dirFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dirFd.get() >= 0) ::fsync(dirFd.get());
    Renumber();
    m_bDirty = false;
    result.status = SaveStatus::Saved;
    return result;
}

}  // namespace dicteditor
