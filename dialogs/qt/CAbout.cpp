#include "dialogs/qt/CAbout.h"

#include <QLabel>
#include <QPushButton>

#include "dialogs/About.h"
#include "dialogs/qt/DialogFont.h"
#include "dialogs/qt/DialogUnits.h"
#include "toolbar/Skin.h"

CAbout::CAbout(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowStaysOnTopHint) {
    setWindowTitle(QString::fromUtf8(dialogs::kAboutTitle));
    setFont(DialogFont());
    const DialogUnits du = DialogUnits::ForFont(font());
    setFixedSize(du.Size(217, 64));  // one row more than the product lines: the voice's credit

    auto* icon = new QLabel(this);
    // The icon is drawn in whole sizes; 32 pixels is the one that fits its place best.
    const QRect iconRect = du.Rect(11, 17, 20, 20);
    const int iconSize = std::max(32, iconRect.width());
    icon->setGeometry(QRect(iconRect.topLeft(), QSize(iconSize, iconSize)));
    icon->setPixmap(Skin::programIcon().pixmap(iconSize));
    icon->setAccessibleName(QStringLiteral("Selvarine"));

    auto line = [&](const std::string& text, const QRect& rect) {
        auto* label = new QLabel(QString::fromStdString(text), this);
        label->setTextFormat(Qt::PlainText);  // shown as it stands
        // The heights in units are for one line of the original font; ours may be taller.
        label->setGeometry(rect.adjusted(0, -rect.height() / 2, 0, rect.height() / 2));
        return label;
    };
    line(dialogs::kAboutProductLine, du.Rect(40, 10, 119, 8));
    line(dialogs::AboutDetailsLine(), du.Rect(40, 25, 160, 8));
    auto* credit = new QLabel(QString::fromUtf8(dialogs::kAboutVoiceCredit), this);
    credit->setTextFormat(Qt::PlainText);
    credit->setWordWrap(true);
    credit->setGeometry(du.Rect(40, 37, 170, 22));

    m_btnOk = new QPushButton(QStringLiteral("OK"), this);
    m_btnOk->setGeometry(du.Rect(178, 7, 32, 14));
    m_btnOk->setDefault(true);
    connect(m_btnOk, &QPushButton::clicked, this, &QDialog::accept);
}

CAbout::~CAbout() = default;
