#include "app/CaptionWindow.h"

#include <QLabel>
#include <QVBoxLayout>

namespace {

constexpr int kMargin = 6;
constexpr const char* kTitle = "字幕";

// The sentence as rich text with bytes [start, end) marked; unmarked when the range is not
// within it.
QString MarkedHtml(const std::string& sentence, int start, int end) {
    auto part = [&](std::size_t from, std::size_t to) {
        return QString::fromUtf8(sentence.data() + from, static_cast<qsizetype>(to - from))
            .toHtmlEscaped();
    };
    if (start < 0 || end <= start || static_cast<std::size_t>(end) > sentence.size())
        return part(0, sentence.size());
    const auto s = static_cast<std::size_t>(start), e = static_cast<std::size_t>(end);
    return part(0, s) + "<span style=\"background-color:#1c5fb8; color:#ffffff;\">" + part(s, e) +
           "</span>" + part(e, sentence.size());
}

}  // namespace

CaptionWindow::CaptionWindow()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput),
      m_label(new QLabel(this)) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setWindowTitle(QString::fromUtf8(kTitle));
    setAccessibleName(windowTitle());
    setStyleSheet("CaptionWindow { background-color: #fffbe6; border: 1px solid #8a7a3a; }");
    setAttribute(Qt::WA_StyledBackground);
    m_label->setWordWrap(true);
    m_label->setTextFormat(Qt::RichText);
    m_label->setStyleSheet("QLabel { color: #202020; font-size: 15px; }");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->addWidget(m_label);
    setFixedWidth(CaptionFollower::kCaptionWidth);
}

CaptionWindow::~CaptionWindow() = default;

int CaptionWindow::ShowCaption(const std::string& sentence, int wordStart, int wordEnd) {
    m_label->setText(MarkedHtml(sentence, wordStart, wordEnd));
    m_label->setAccessibleName(
        QString::fromUtf8(sentence.data(), static_cast<qsizetype>(sentence.size())).trimmed());
    const int height =
        m_label->heightForWidth(CaptionFollower::kCaptionWidth - 2 * kMargin) + 2 * kMargin;
    setFixedHeight(height);
    if (!isVisible()) show();
    return height;
}

void CaptionWindow::MoveCaption(int x, int y) {
    move(x, y);
}

void CaptionWindow::HideCaption() {
    hide();
    m_label->clear();
    m_label->setAccessibleName(QString());
}
