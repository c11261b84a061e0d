#include "dialogs/qt/CLangselDlg.h"

#include <QIcon>
#include <QImage>
#include <QPushButton>

#include <map>
#include <utility>

#include "dialogs/qt/CAbout.h"
#include "dialogs/qt/DialogFont.h"
#include "dialogs/qt/DialogUnits.h"

// Static libraries do not run their resource initialisers on their own; global scope, since
// Q_INIT_RESOURCE declares the initialiser.
static void InitLangselResources() {
    static const bool once = [] {
        Q_INIT_RESOURCE(langsel_assets);
        return true;
    }();
    (void)once;
}

namespace {

constexpr int kImageWidth = 145;
constexpr int kImageHeight = 26;
constexpr unsigned kMagenta = 0xFF00FFu;

// The four language buttons sit two by two; x, y, width, height in dialog units.
QRect LanguageButtonRect(const DialogUnits& du, std::size_t index) {
    return du.Rect(7 + 96 * int(index % 2), 5 + 26 * int(index / 2), 85, 20);
}

QPixmap LoadButtonImage(int resource, const QColor& face) {
    QImage image(QStringLiteral(":/selvarine/langsel%1.bmp").arg(resource), "BMP");
    image = image.convertToFormat(QImage::Format_RGB32);
    const QRgb faceRgb = face.rgb();
    for (int y = 0; y < std::min(image.height(), kImageHeight); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < std::min(image.width(), kImageWidth); ++x)
            if ((line[x] & 0xFFFFFFu) == kMagenta) line[x] = faceRgb;
    }
    return QPixmap::fromImage(image);
}

// Made once per picture and face colour: the icons of fresh pixmaps would each leave their
// renderings in Qt's pixmap cache, about 33 kB a dialog, until the cache's 10 MB are full.
// Never destroyed: pixmaps must not outlive the application object.
const QIcon& ButtonIcon(int resource, const QColor& face) {
    static auto& icons = *new std::map<std::pair<int, QRgb>, QIcon>();
    const auto key = std::make_pair(resource, face.rgb());
    auto it = icons.find(key);
    if (it == icons.end()) it = icons.emplace(key, QIcon(LoadButtonImage(resource, face))).first;
    return it->second;
}

}  // namespace

CLangselDlg::CLangselDlg(const int (&engineLoaded)[11], QWidget* parent)
    // A caption without a system menu or close box; kept above the always-on-top toolbar.
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint),
      m_engineLoaded(engineLoaded) {
    setWindowTitle(QStringLiteral("言語選択"));
    setFont(DialogFont());
    // Large enough for the 145 x 26 pictures whatever the font.
    const DialogUnits du =
        DialogUnits::ForFont(font()).AtLeast((kImageWidth + 8) / 85.0, (kImageHeight + 8) / 20.0);
    setFixedSize(du.Size(195, 84));

    for (std::size_t i = 0; i < engine::kLanguageCount; ++i) {
        const engine::LanguageInfo& lang = engine::kLanguages[i];
        auto* button = new QPushButton(QString::fromUtf8(lang.nativeName), this);
        button->setObjectName(QString::number(lang.langselButton));
        button->setAccessibleName(QString::fromUtf8(lang.nativeName));
        button->setCheckable(true);
        button->setAutoExclusive(true);  // one radio group: arrows move and choose, Space picks
        button->setAutoDefault(false);   // Enter stays with OK
        button->setGeometry(LanguageButtonRect(du, i));
        button->setIconSize(QSize(kImageWidth, kImageHeight));
        const int number = lang.number;
        // Clicks, arrow keys and an assistive tool's toggle all end up checking the button.
        connect(button, &QPushButton::toggled, this, [this, number](bool checked) {
            if (checked) m_language = number;
        });
        m_btnLanguages[i] = button;
    }
    auto push = [&](const char* text, int id, int x) {
        auto* button = new QPushButton(QString::fromUtf8(text), this);
        button->setObjectName(QString::number(id));
        button->setAccessibleName(QString::fromUtf8(text));
        button->setGeometry(du.Rect(x, 63, 50, 14));
        return button;
    };
    m_btnOk = push("OK", 1, 7);
    m_btnCancel = push("キャンセル", 2, 72);
    m_btnAbout = push("バージョン情報", dialogs::kIdAbout, 137);
    m_btnOk->setDefault(true);
    connect(m_btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_btnAbout, &QPushButton::clicked, this, [this] { OnAbout(); });
}

CLangselDlg::~CLangselDlg() = default;

int CLangselDlg::DoModal() {
    OnInitDialog();
    return exec();
}

bool CLangselDlg::OnInitDialog() {
    InitLangselResources();
    for (std::size_t i = 0; i < engine::kLanguageCount; ++i) {
        const QColor face = m_btnLanguages[i]->palette().color(QPalette::Button);
        m_hButtonImages[i] = ButtonIcon(engine::kLanguages[i].languageBitmap, face)
                                 .pixmap(kImageWidth, kImageHeight);
    }
    const auto states = dialogs::LanguageButtons(m_language, m_engineLoaded);
    QPushButton* focus = nullptr;
    for (std::size_t i = 0; i < states.size(); ++i) {
        QPushButton* button = m_btnLanguages[i];
        const auto& state = states[i];
        const QString caption = QString::fromUtf8(state.language->nativeName);
        button->setEnabled(state.enabled);
        if (state.enabled) {
            button->setText(QString());
            button->setIcon(ButtonIcon(state.language->languageBitmap,
                                       button->palette().color(QPalette::Button)));
            if (!focus) focus = button;
        } else {
            button->setIcon(QIcon());
            button->setText(caption);
        }
        using Check = dialogs::LanguageButton::Check;
        if (state.check != Check::Untouched) {
            // An exclusive button cannot be unchecked directly.
            button->setAutoExclusive(false);
            button->setChecked(state.check == Check::Checked);
            button->setAutoExclusive(true);
            if (state.check == Check::Checked) focus = button;
        }
    }
    // The keyboard starts in the language group, on the current language.
    if (focus)
        focus->setFocus(Qt::OtherFocusReason);
    else
        m_btnOk->setFocus(Qt::OtherFocusReason);
    return true;
}

QAbstractButton* CLangselDlg::LanguageButton(int language) const {
    const int index = engine::LanguageIndex(language);
    return index < 0 ? nullptr : m_btnLanguages[index];
}

void CLangselDlg::OnAbout() {
    CAbout about(nullptr);
    about.exec();
}

bool QtLanguageSelection::Run(int& language) {
    CLangselDlg dlg(m_engineLoaded, nullptr);
    dlg.m_language = language;
    if (dlg.DoModal() != QDialog::Accepted) return false;
    language = dlg.m_language;
    return true;
}
