#include "dialogs/qt/VoiceManagerWindow.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "engine/Languages.h"

namespace {
constexpr const char* kCaption = "声の管理";
}

VoiceManagerWindow::VoiceManagerWindow(dialogs::VoiceManager& manager,
                                       platform::MessageBox& messages, Test test, int language,
                                       QWidget* parent)
    : QDialog(parent), m_manager(manager), m_messages(messages), m_test(std::move(test)) {
    setWindowTitle(QString::fromUtf8(kCaption));
    m_language = new QComboBox(this);
    m_language->setAccessibleName(QStringLiteral("言語"));
    for (const engine::LanguageInfo& lang : engine::Languages())
        m_language->addItem(QString::fromUtf8(lang.nativeName), lang.number);
    m_language->setCurrentIndex(std::max(0, engine::LanguageIndex(language)));
    m_list = new QListWidget(this);
    m_list->setAccessibleName(QStringLiteral("声"));
    auto button = [this](const char* text) {
        auto* b = new QPushButton(QString::fromUtf8(text), this);
        b->setAccessibleName(QString::fromUtf8(text));
        b->setAutoDefault(false);
        return b;
    };
    QPushButton* add = button("追加...");
    m_btnRemove = button("削除");
    QPushButton* folder = button("フォルダーを開く");
    QPushButton* testButton = button("テスト");
    QPushButton* close = button("閉じる");
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {add, m_btnRemove, folder, testButton}) buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_language);
    layout->addWidget(m_list);
    layout->addLayout(buttons);

    connect(m_language, &QComboBox::currentIndexChanged, this, [this] { Fill(); });
    connect(m_list, &QListWidget::currentRowChanged, this, [this] { OnChosen(); });
    // Assistive tools select an item without making it the current one.
    connect(m_list, &QListWidget::itemSelectionChanged, this, [this] {
        const QList<QListWidgetItem*> selected = m_list->selectedItems();
        if (!m_bFilling && selected.size() == 1 && selected.front() != m_list->currentItem())
            m_list->setCurrentItem(selected.front());
    });
    connect(add, &QPushButton::clicked, this, [this] { OnAdd(); });
    connect(m_btnRemove, &QPushButton::clicked, this, [this] { OnRemove(); });
    connect(folder, &QPushButton::clicked, this, [this] {
        QDir().mkpath(QString::fromStdString(m_manager.Folder()));
        QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(m_manager.Folder())));
    });
    connect(testButton, &QPushButton::clicked, this, [this] {
        if (m_test) m_test(Language());
    });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    Fill();
}

int VoiceManagerWindow::Language() const {
    return m_language->currentData().toInt();
}

void VoiceManagerWindow::Fill() {
    m_bFilling = true;
    m_list->clear();
    const auto rows = m_manager.Rows(Language());
    for (const dialogs::VoiceRow& row : rows) {
        auto* item = new QListWidgetItem(QString::fromStdString(row.label), m_list);
        item->setData(Qt::UserRole, QString::fromStdString(row.name));
        if (!row.usable) item->setFlags(item->flags() & ~Qt::ItemIsEnabled);
    }
    m_list->setCurrentRow(static_cast<int>(m_manager.ChosenRow(Language())));
    m_btnRemove->setEnabled(m_list->currentRow() > 0);
    m_bFilling = false;
}

void VoiceManagerWindow::OnChosen() {
    if (m_bFilling || !m_list->currentItem()) return;
    const std::string name = m_list->currentItem()->data(Qt::UserRole).toString().toStdString();
    m_btnRemove->setEnabled(!name.empty());
    if (!m_manager.Choose(Language(), name))
        m_messages.Show("声の選択を保存できません。", kCaption,
                        platform::MessageKind::RangeExclamation);
}

void VoiceManagerWindow::OnAdd() {
    const QString archive = QFileDialog::getOpenFileName(
        this, QString::fromUtf8("声のアーカイブを選択"), QDir::homePath(),
        QString::fromUtf8("声のアーカイブ (*.tar.bz2 *.tar.gz *.tar.xz)"));
    if (archive.isEmpty()) return;
    const synth::UnpackResult result = m_manager.Add(archive.toStdString());
    m_messages.Show(synth::unpackMessage(result), kCaption,
                    platform::MessageKind::RangeExclamation);
    Fill();
}

void VoiceManagerWindow::OnRemove() {
    QListWidgetItem* item = m_list->currentItem();
    const std::string name = item ? item->data(Qt::UserRole).toString().toStdString() : "";
    if (name.empty()) return;
    std::string message;
    if (!m_manager.Remove(name, &message))
        m_messages.Show(message, kCaption, platform::MessageKind::RangeExclamation);
    Fill();
}
