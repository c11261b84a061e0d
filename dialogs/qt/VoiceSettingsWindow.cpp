#include "dialogs/qt/VoiceSettingsWindow.h"

#include <QButtonGroup>
#include <QFileDialog>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>

#include <algorithm>

namespace dialogs {
namespace {

QStringList Families(const std::string& commaSeparated) {
    QStringList list = QString::fromStdString(commaSeparated).split(',', Qt::SkipEmptyParts);
    for (QString& f : list) f = f.trimmed();
    return list;
}

// The accessible name of a control without text: its group's caption without the range,
// "ボリューム (0 - 500)" naming the volume slider and number "ボリューム".
QString GroupName(const QString& caption) {
    const int bracket = caption.indexOf(" (");
    return bracket < 0 ? caption : caption.left(bracket);
}

// The layout's units are those of the font it was drawn with; with the desktop's font a caption
// can be wider than its button (ユーザー辞書編集, QZ(簡体字) at a 12-pixel Gothic). Such a push
// button grows about its centre to the caption and the style's margins, a radio button to the
// right, as its caption reads; both kept inside the dialog.
void FitCaption(QRadioButton* radio, int dialogWidth) {
    QRect r = radio->geometry();
    const int needed = radio->sizeHint().width();
    if (r.width() >= needed) return;
    r.setWidth(std::min(needed, dialogWidth));
    if (r.right() >= dialogWidth) r.moveRight(dialogWidth - 1);
    radio->setGeometry(r);
}

void FitCaption(QPushButton* button, int dialogWidth) {
    QStyle* style = button->style();
    const int needed = button->fontMetrics().horizontalAdvance(button->text()) +
                       2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth) +
                       style->pixelMetric(QStyle::PM_ButtonMargin);
    QRect r = button->geometry();
    if (r.width() >= needed) return;
    r.setLeft(r.left() - (needed - r.width()) / 2);
    r.setWidth(std::min(needed, dialogWidth));
    if (r.right() >= dialogWidth) r.moveRight(dialogWidth - 1);
    if (r.left() < 0) r.moveLeft(0);
    button->setGeometry(r);
}

}  // namespace

VoiceSettingsWindow::VoiceSettingsWindow(const DialogLayout& layout, const DialogFont& font,
                                         VoiceSettingsDialog& logic)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint),
      m_logic(logic),
      m_timers(this, [this](int id) { m_logic.OnTimer(id); }) {
    Build(layout, font);
}

VoiceSettingsWindow::~VoiceSettingsWindow() = default;

void VoiceSettingsWindow::Build(const DialogLayout& layout, const DialogFont& font) {
    QFont dialogFont;
    dialogFont.setFamilies(Families(font.families));
    dialogFont.setPointSize(font.points);
    setFont(dialogFont);
    setWindowTitle(QString::fromStdString(layout.title));
    setFixedSize(font.PixelsX(layout.width), font.PixelsY(layout.height));

    QString group;
    for (const ControlLayout& c : layout.controls) {
        const QString text = QString::fromStdString(c.text);
        QWidget* w = nullptr;
        switch (c.kind) {
            case ControlKind::DefaultButton:
            case ControlKind::Button: {
                auto* button = new QPushButton(text, this);
                button->setDefault(c.kind == ControlKind::DefaultButton);
                button->setAutoDefault(false);
                const int id = c.id;
                connect(button, &QPushButton::clicked, this, [this, id] {
                    switch (id) {
                        case kIdOk:
                            m_logic.OnOK();
                            break;
                        case kIdCancel:
                            m_logic.OnCancel();
                            break;
                        case kButtonDefaults:
                            m_logic.OnDefaults();
                            break;
                        case kButtonTest:
                            m_logic.OnTest();
                            break;
                        case kButtonEditUserDic:
                            m_logic.OnEditUserDic();
                            break;
                        case kButtonBrowse:
                            m_logic.OnBrowseUserDic();
                            break;
                        default:
                            break;
                    }
                });
                w = button;
                break;
            }
            case ControlKind::Group:
                w = new QGroupBox(text, this);
                group = GroupName(text);
                break;
            case ControlKind::Slider: {
                auto* slider = new QSlider(Qt::Horizontal, this);
                slider->setTickPosition(QSlider::TicksBelow);
                slider->setAccessibleName(group);
                const int id = c.id;
                connect(slider, &QSlider::valueChanged, this,
                        [this, id] { m_logic.OnHScroll(id); });
                w = slider;
                break;
            }
            case ControlKind::Edit:
            case ControlKind::ReadOnlyEdit: {
                auto* edit = new QLineEdit(this);
                edit->setReadOnly(c.kind == ControlKind::ReadOnlyEdit);
                edit->setAccessibleName(group);
                edit->installEventFilter(this);
                w = edit;
                break;
            }
            case ControlKind::Static: {
                auto* label = new QLabel(text, this);
                label->setAccessibleName(text);
                w = label;
                break;
            }
            case ControlKind::RadioFirst:
                m_radios = new QButtonGroup(this);
                [[fallthrough]];
            case ControlKind::Radio: {
                auto* radio = new QRadioButton(text, this);
                if (m_radios) m_radios->addButton(radio, c.id);
                w = radio;
                break;
            }
        }
        w->setGeometry(font.PixelsX(c.x), font.PixelsY(c.y), font.PixelsX(c.width),
                       font.PixelsY(c.height));
        if (auto* button = qobject_cast<QPushButton*>(w)) FitCaption(button, width());
        if (auto* radio = qobject_cast<QRadioButton*>(w)) FitCaption(radio, width());
        if (c.id >= 0) m_controls[c.id] = w;
    }
}

QWidget* VoiceSettingsWindow::Control(int id) const {
    auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

QAbstractSlider* VoiceSettingsWindow::Slider(int id) const {
    return qobject_cast<QAbstractSlider*>(Control(id));
}

bool VoiceSettingsWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        // Focus that leaves with the window (another window activated, a popup, the dialog
        // closing) is no move between controls: checking then would stack range messages.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
            isVisible()) {
            for (const auto& [id, w] : m_controls) {
                if (w != watched) continue;
                // Run after Qt has finished moving the focus.
                QMetaObject::invokeMethod(
                    this, [this, id] { m_logic.OnKillFocus(id); }, Qt::QueuedConnection);
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

platform::WindowId VoiceSettingsWindow::NativeWindow() {
    return static_cast<platform::WindowId>(winId());
}

std::string VoiceSettingsWindow::ControlText(int id) {
    QWidget* w = Control(id);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text().toStdString();
    if (auto* label = qobject_cast<QLabel*>(w)) return label->text().toStdString();
    if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text().toStdString();
    return {};
}

void VoiceSettingsWindow::SetControlText(int id, const std::string& text) {
    QWidget* w = Control(id);
    const QString q = QString::fromStdString(text);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        edit->setText(q);
        edit->setCursorPosition(edit->isReadOnly() ? q.size() : 0);
    } else if (auto* label = qobject_cast<QLabel*>(w)) {
        label->setText(q);
    }
}

int VoiceSettingsWindow::SliderPos(int id) {
    QAbstractSlider* s = Slider(id);
    return s ? s->value() : 0;
}

void VoiceSettingsWindow::SetSliderPos(int id, int pos) {
    if (QAbstractSlider* s = Slider(id)) {
        const QSignalBlocker quiet(s);
        s->setValue(pos);
    }
}

void VoiceSettingsWindow::SetSliderRange(int id, int lower, int upper) {
    if (QAbstractSlider* s = Slider(id)) {
        const QSignalBlocker quiet(s);
        s->setRange(lower, upper);
        s->setPageStep(std::max(1, (upper - lower) / 5));
    }
}

void VoiceSettingsWindow::SetTickFrequency(int id, int frequency) {
    if (auto* s = qobject_cast<QSlider*>(Control(id))) s->setTickInterval(frequency);
}

void VoiceSettingsWindow::CheckRadio(int id) {
    if (!m_radios) return;
    m_radios->setExclusive(false);
    for (QAbstractButton* b : m_radios->buttons()) b->setChecked(m_radios->id(b) == id);
    m_radios->setExclusive(true);
}

bool VoiceSettingsWindow::IsChecked(int id) {
    auto* b = qobject_cast<QAbstractButton*>(Control(id));
    return b && b->isChecked();
}

void VoiceSettingsWindow::DrawSentence(int id, const std::string& text,
                                       const std::string& fontFamilies) {
    auto* label = qobject_cast<QLabel*>(Control(id));
    if (!label) return;
    QFont sentenceFont = font();
    sentenceFont.setFamilies(Families(fontFamilies));
    label->setFont(sentenceFont);
    label->setAlignment(Qt::AlignCenter);
    label->setText(QString::fromStdString(text));
    label->setAccessibleName(label->text());
}

void VoiceSettingsWindow::Enable(bool enabled) {
    setEnabled(enabled);
}

bool VoiceSettingsWindow::SetTimer(int id, int periodMs) {
    m_timers.Start(id, periodMs);
    return true;
}

void VoiceSettingsWindow::KillTimer(int id) {
    m_timers.Stop(id);
}

void VoiceSettingsWindow::BringToFront() {
    show();
    raise();
    activateWindow();
}

bool VoiceSettingsWindow::AskOpenFile(const std::string& title, const std::string& filter,
                                      const std::string& initialPath, std::string* chosen) {
    // Qt's own dialog: the same everywhere and reachable by assistive tools.
    QFileDialog box(this, QString::fromStdString(title));
    box.setOption(QFileDialog::DontUseNativeDialog);
    box.setAcceptMode(QFileDialog::AcceptOpen);
    box.setFileMode(QFileDialog::AnyFile);  // a new name creates the file
    box.setNameFilter(QString::fromStdString(filter));
    if (!initialPath.empty()) {
        const QFileInfo initial(QString::fromStdString(initialPath));
        box.setDirectory(initial.absolutePath());
        box.selectFile(initial.fileName());
    }
    if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty()) return false;
    *chosen = box.selectedFiles().first().toStdString();
    return true;
}

void VoiceSettingsWindow::EndDialog(int result) {
    done(result);
}

void VoiceSettingsWindow::reject() {
    // Escape and the close box: nothing while the dictionary editor is watched.
    if (isEnabled()) m_logic.OnCancel();
}

}  // namespace dialogs
