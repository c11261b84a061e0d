#pragma once
// The system clipboard as the reading subsystem uses it: emptied before a capture, watched for
// the copy that follows, read as UTF-16 text, emptied again after reading.

#include <functional>
#include <optional>
#include <string>

namespace platform {

class Clipboard {
  public:
    virtual ~Clipboard() = default;

    // Takes the clipboard for this program until Close(). False when it cannot be had.
    virtual bool Open() = 0;
    // Leaves the clipboard without data (and, on X11, without owner). Needs Open().
    virtual bool Empty() = 0;
    virtual void Close() = 0;

    // Whether the clipboard offers text. Needs no Open().
    virtual bool HasUnicodeText() = 0;
    // The clipboard's text as UTF-16, nullopt when it cannot be obtained. Needs Open().
    virtual std::optional<std::u16string> UnicodeText() = 0;
    // The clipboard's HTML (text/html) as its owner sends it, nullopt when it offers none or
    // does not answer. Needs Open(); asked right after UnicodeText(), of the same owner.
    virtual std::optional<std::string> Html() { return std::nullopt; }

    // Called on the GUI thread for every clipboard change made by another program: a change
    // whose new owner is none (emptied) or this program itself is not reported, since X11
    // reports our own emptying late and it must not pass for copied text.
    virtual void SetChangeListener(std::function<void()> listener) = 0;
};

}  // namespace platform
