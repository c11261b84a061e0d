#include "app/CaptionWindow.h"

#include <QFontMetrics>
#include <QLabel>
#include <QTextBoundaryFinder>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

namespace {

constexpr int kMargin = 6;
constexpr const char* kTitle = "字幕";

// Qt wraps rich text only where a line may break, so a word wider than the strip (a long URL,
// a long compound) would be cut off at its edge. Such a word may break between any two of its
// characters. map[i] is where text[i] lands in the result (map[text.size()] its end).
QString Breakable(const QString& text, const QFontMetrics& metrics, int width,
                  std::vector<qsizetype>& map) {
    QString out;
    map.assign(static_cast<std::size_t>(text.size()) + 1, 0);
    qsizetype i = 0;
    while (i < text.size()) {
        qsizetype j = i;
        while (j < text.size() && !text[j].isSpace()) ++j;
        const QString word = text.mid(i, j - i);
        std::vector<bool> breaks(static_cast<std::size_t>(word.size()) + 1, false);
        if (metrics.horizontalAdvance(word) > width) {
            QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, word);
            for (qsizetype at = graphemes.toNextBoundary(); at > 0 && at < word.size();
                 at = graphemes.toNextBoundary())
                breaks[static_cast<std::size_t>(at)] = true;
        }
        for (qsizetype k = 0; k < word.size(); ++k) {
            if (breaks[static_cast<std::size_t>(k)]) out += QChar(0x200B);
            map[static_cast<std::size_t>(i + k)] = out.size();
            out += word[k];
        }
        for (; j < text.size() && text[j].isSpace(); ++j) {
            map[static_cast<std::size_t>(j)] = out.size();
            out += text[j];
        }
        i = j;
    }
    map.back() = out.size();
    return out;
}

// The sentence as rich text with bytes [start, end) marked; unmarked when the range is not
// within it.
QString MarkedHtml(const std::string& sentence, int start, int end, const QFontMetrics& metrics,
                   int width) {
    std::vector<qsizetype> map;
    const auto at = [&](int bytes) {
        const auto units = static_cast<std::size_t>(
            QString::fromUtf8(sentence.data(), static_cast<qsizetype>(bytes)).size());
        return map[std::min(units, map.size() - 1)];
    };
    const QString text =
        Breakable(QString::fromUtf8(sentence.data(), static_cast<qsizetype>(sentence.size())),
                  metrics, width, map);
    if (start < 0 || end <= start || static_cast<std::size_t>(end) > sentence.size())
        return text.toHtmlEscaped();
    const qsizetype s = at(start), e = at(end);
    return text.left(s).toHtmlEscaped() +
           "<span style=\"background-color:#1c5fb8; color:#ffffff;\">" +
           text.mid(s, e - s).toHtmlEscaped() + "</span>" + text.mid(e).toHtmlEscaped();
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
    m_label->ensurePolished();
    m_label->setText(MarkedHtml(sentence, wordStart, wordEnd, m_label->fontMetrics(),
                                CaptionFollower::kCaptionWidth - 2 * kMargin));
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
