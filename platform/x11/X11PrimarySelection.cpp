#include "platform/x11/X11PrimarySelection.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <xcb/xcb.h>

#include <cstdint>

#include "platform/x11/X11SelectionTransfer.h"

namespace platform {

struct X11PrimarySelection::Impl {
    x11::X11SelectionTransfer transfer;
    // Qt's connection, to recognise a selection this program owns itself: asking ourselves
    // on another connection would wait for an answer only our blocked GUI thread could give.
    std::uint32_t qtBase = 0, qtMask = 0;
    bool hasQt = false;

    explicit Impl(const char* name)
        // An abandoned request is not kept: a shortcut reads what is selected now, and a late
        // answer could be an older selection.
        : transfer(name, {"PRIMARY", kAnswerWaitMs, static_cast<std::size_t>(kMaxBytes), false}) {
        auto* x11 =
            qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        if (x11 && x11->connection()) {
            const xcb_setup_t* setup = xcb_get_setup(x11->connection());
            qtBase = setup->resource_id_base;
            qtMask = setup->resource_id_mask;
            hasQt = true;
        }
    }

    std::optional<std::u16string> Text() {
        if (!transfer.Ok()) return std::nullopt;
        const Window owner = transfer.Owner();
        if (owner == None) return std::nullopt;
        if (hasQt && (owner & ~qtMask) == qtBase) {
            const QString text = QGuiApplication::clipboard()->text(QClipboard::Selection);
            if (text.isEmpty()) return std::nullopt;
            return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                                  static_cast<std::size_t>(text.size()));
        }
        std::optional<std::u16string> text = transfer.ReadText();
        if (text && text->empty()) return std::nullopt;
        return text;
    }

    std::optional<std::string> Html() {
        if (!transfer.Ok()) return std::nullopt;
        const Window owner = transfer.Owner();
        if (owner == None) return std::nullopt;
        if (hasQt && (owner & ~qtMask) == qtBase) {
            const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Selection);
            if (!data || !data->hasHtml()) return std::nullopt;
            return data->html().toStdString();
        }
        return transfer.ReadTarget("text/html");
    }
};

X11PrimarySelection::X11PrimarySelection(const char* displayName)
    : m_impl(std::make_unique<Impl>(displayName)) {}
X11PrimarySelection::~X11PrimarySelection() = default;

std::optional<std::u16string> X11PrimarySelection::Text() {
    return m_impl->Text();
}

std::optional<std::string> X11PrimarySelection::Html() {
    return m_impl->Html();
}

}  // namespace platform
