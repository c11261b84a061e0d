#include "tools/dicteditor/EditorWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSortFilterProxyModel>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "tools/dicteditor/DictionaryTableModel.h"
#include "tools/dicteditor/EditorTexts.h"
#include "tools/dicteditor/EnginePreview.h"

namespace dicteditor {

// Keeps the rows whose surface or replacement holds the search text, ignoring case.
class RowFilter : public QSortFilterProxyModel {
  public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void SetNeedle(const QString& needle) {
        m_needle = needle;
        invalidateFilter();
    }

  protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        if (m_needle.isEmpty()) return true;
        for (int column : {DictionaryTableModel::kSurface, DictionaryTableModel::kReplacement}) {
            const QString text = sourceModel()->index(row, column, parent).data().toString();
            if (text.contains(m_needle, Qt::CaseInsensitive)) return true;
        }
        return false;
    }

  private:
    QString m_needle;
};

namespace {

// Cell editors are named after their column, like the form's fields.
class NamedCellDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        editor->setAccessibleName(
            index.model()->headerData(index.column(), Qt::Horizontal).toString());
        return editor;
    }
};

QPushButton* MakeButton(const char* text, const QKeySequence& key, QWidget* parent) {
    auto* button = new QPushButton(QString::fromUtf8(text), parent);
    if (!key.isEmpty()) {
        button->setShortcut(key);
        button->setToolTip(key.toString(QKeySequence::NativeText));
    }
    return button;
}

}  // namespace

EditorWindow::EditorWindow(std::string path, DictionaryDocument doc, Prompts& prompts,
                           std::unique_ptr<EnginePreview> preview)
    : m_strPath(std::move(path)),
      m_doc(std::move(doc)),
      m_prompts(prompts),
      m_preview(std::move(preview)) {
    const QString fileName = QFileInfo(QString::fromStdString(m_strPath)).fileName();
    setWindowTitle(fileName + QString::fromUtf8(kTitleSuffix));

    m_model = new DictionaryTableModel(m_doc, this);
    m_filter = new RowFilter(this);
    m_filter->setSourceModel(m_model);
    // Rows stay put while they are typed into; a click on a header sorts again.
    m_filter->setDynamicSortFilter(false);

    auto* labelSearch = new QLabel(QStringLiteral("検索:"), this);
    m_editSearch = new QLineEdit(this);
    m_editSearch->setAccessibleName(QStringLiteral("検索"));
    m_editSearch->setPlaceholderText(QStringLiteral("表記または読みで絞り込み (Ctrl+F)"));
    m_editSearch->setClearButtonEnabled(true);
    for (QToolButton* clear : m_editSearch->findChildren<QToolButton*>())
        clear->setAccessibleName(QStringLiteral("検索をクリア"));
    labelSearch->setBuddy(m_editSearch);

    m_table = new QTableView(this);
    m_table->setAccessibleName(QStringLiteral("辞書"));
    m_table->setModel(m_filter);
    m_table->setItemDelegate(new NamedCellDelegate(m_table));
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setAlternatingRowColors(true);
    m_table->setCornerButtonEnabled(false);  // select-all means nothing for single rows
    m_table->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    m_table->setSortingEnabled(true);
    m_table->horizontalHeader()->setSectionResizeMode(DictionaryTableModel::kStatus,
                                                      QHeaderView::Stretch);
    m_table->setColumnWidth(DictionaryTableModel::kSurface, 180);
    m_table->setColumnWidth(DictionaryTableModel::kReplacement, 180);

    m_editSurface = new QLineEdit(this);
    m_editSurface->setAccessibleName(QStringLiteral("表記"));
    m_editReplacement = new QLineEdit(this);
    m_editReplacement->setAccessibleName(QStringLiteral("読み"));
    m_labelRowStatus = new QLabel(this);
    m_labelRowStatus->setAccessibleName(QStringLiteral("行の状態"));
    m_labelRowStatus->setWordWrap(true);
    m_editCheck = new QLineEdit(this);
    m_editCheck->setAccessibleName(QStringLiteral("読み確認"));
    m_editCheck->setPlaceholderText(QStringLiteral("確かめる文 (空欄なら選択した行の読み)"));
    m_editCheck->setClearButtonEnabled(true);
    for (QToolButton* clear : m_editCheck->findChildren<QToolButton*>())
        clear->setAccessibleName(QStringLiteral("読み確認をクリア"));
    m_labelReading = new QLabel(this);
    m_labelReading->setAccessibleName(QStringLiteral("声の読み"));
    m_labelReading->setWordWrap(true);
    m_labelReading->setTextFormat(Qt::PlainText);
    m_labelReading->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // The label says 確認中 only when a look-up takes long enough to notice.
    m_timerReadingBusy = new QTimer(this);
    m_timerReadingBusy->setSingleShot(true);
    m_timerReadingBusy->setInterval(250);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("表記:"), m_editSurface);
    form->addRow(QStringLiteral("読み:"), m_editReplacement);
    form->addRow(m_labelRowStatus);
    form->addRow(QStringLiteral("読み確認:"), m_editCheck);
    form->addRow(QStringLiteral("声の読み:"), m_labelReading);

    m_btnAdd = MakeButton("追加", QKeySequence(Qt::CTRL | Qt::Key_N), this);
    m_btnRemove = MakeButton("削除", {}, this);
    m_btnPreview = MakeButton("試聴", QKeySequence(Qt::CTRL | Qt::Key_P), this);
    m_btnSave = MakeButton("保存", QKeySequence::Save, this);
    m_btnClose = MakeButton("閉じる", {}, this);
    m_btnPreview->setEnabled(m_preview != nullptr);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_btnAdd);
    buttons->addWidget(m_btnRemove);
    buttons->addWidget(m_btnPreview);
    buttons->addStretch();
    buttons->addWidget(m_btnSave);
    buttons->addWidget(m_btnClose);

    m_labelSummary = new QLabel(this);
    m_labelSummary->setAccessibleName(QStringLiteral("概要"));

    auto* search = new QHBoxLayout;
    search->addWidget(labelSearch);
    search->addWidget(m_editSearch);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(search);
    layout->addWidget(m_table, 1);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->addWidget(m_labelSummary);
    setTabOrder(m_editSearch, m_table);
    setTabOrder(m_table, m_editSurface);
    setTabOrder(m_editSurface, m_editReplacement);
    setTabOrder(m_editReplacement, m_editCheck);
    setTabOrder(m_editCheck, m_btnAdd);

    if (m_preview)
        m_readingCheck = std::make_unique<ReadingCheck>(
            [preview = m_preview.get()](const std::string& text) {
                return DescribeReading(*preview, text);
            },
            [this](uint64_t request, const std::string& result) {
                QMetaObject::invokeMethod(
                    this,
                    [this, request, text = QString::fromStdString(result)] {
                        ReadingDone(request, text);
                    },
                    Qt::QueuedConnection);
            });

    connect(m_editSearch, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_filter->SetNeedle(text); });
    connect(new QShortcut(QKeySequence::Find, this), &QShortcut::activated, this, [this] {
        m_editSearch->setFocus();
        m_editSearch->selectAll();
    });
    auto* del = new QShortcut(QKeySequence::Delete, m_table, nullptr, nullptr, Qt::WidgetShortcut);
    connect(del, &QShortcut::activated, this, &EditorWindow::Remove);
    connect(m_btnAdd, &QPushButton::clicked, this, &EditorWindow::Add);
    connect(m_btnRemove, &QPushButton::clicked, this, &EditorWindow::Remove);
    connect(m_btnPreview, &QPushButton::clicked, this, &EditorWindow::Preview);
    connect(m_btnSave, &QPushButton::clicked, this, [this] { Save(); });
    connect(m_btnClose, &QPushButton::clicked, this, &QWidget::close);
    // AT-SPI writes text through setText, which emits textChanged but not textEdited.
    connect(m_editSurface, &QLineEdit::textChanged, this,
            [this](const QString& text) { FormEdited(DictionaryTableModel::kSurface, text); });
    connect(m_editReplacement, &QLineEdit::textChanged, this,
            [this](const QString& text) { FormEdited(DictionaryTableModel::kReplacement, text); });
    connect(m_editCheck, &QLineEdit::textChanged, this, &EditorWindow::UpdateReading);
    connect(m_timerReadingBusy, &QTimer::timeout, this,
            [this] { m_labelReading->setText(QStringLiteral("確認中…")); });
    connect(m_table->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &EditorWindow::CurrentChanged);
    connect(m_model, &QAbstractItemModel::dataChanged, this, &EditorWindow::CurrentChanged);
    connect(m_filter, &QAbstractItemModel::rowsRemoved, this, &EditorWindow::CurrentChanged);

    resize(680, 520);
    if (m_doc.RowCount() > 0) SelectRow(0);
    CurrentChanged();
}

EditorWindow::~EditorWindow() = default;

std::optional<int> EditorWindow::CurrentRow() const {
    const QModelIndex index = m_filter->mapToSource(m_table->currentIndex());
    if (!index.isValid()) return std::nullopt;
    return index.row();
}

void EditorWindow::SelectRow(int row) {
    const QModelIndex index = m_filter->mapFromSource(m_model->index(row, 0));
    if (!index.isValid()) return;
    m_table->setCurrentIndex(index);
    m_table->scrollTo(index);
}

void EditorWindow::CurrentChanged() {
    const std::optional<int> row = CurrentRow();
    m_bFilling = true;
    auto fill = [](QLineEdit* edit, const std::string& text) {
        const QString value = QString::fromStdString(text);
        if (edit->text() != value) edit->setText(value);
    };
    if (row) {
        fill(m_editSurface, m_doc.Surface(static_cast<std::size_t>(*row)));
        fill(m_editReplacement, m_doc.Replacement(static_cast<std::size_t>(*row)));
    } else {
        m_editSurface->clear();
        m_editReplacement->clear();
    }
    m_bFilling = false;
    UpdateState();
    UpdateReading();
}

void EditorWindow::UpdateReading() {
    std::string text = m_editCheck->text().toStdString();
    if (const std::optional<int> row = CurrentRow(); text.empty() && row)
        text = m_doc.Replacement(static_cast<std::size_t>(*row));
    if (text == m_strReadingText) return;
    m_strReadingText = text;
    m_nReadingRequest = 0;
    m_timerReadingBusy->stop();
    if (!m_readingCheck) {
        m_labelReading->setText(QStringLiteral("音声が使えないため、読みを確認できません。"));
        return;
    }
    m_labelReading->clear();
    if (text.empty()) return;
    m_nReadingRequest = m_readingCheck->Request(std::move(text));
    m_timerReadingBusy->start();
}

void EditorWindow::ReadingDone(uint64_t request, const QString& text) {
    if (request != m_nReadingRequest) return;
    m_timerReadingBusy->stop();
    m_labelReading->setText(text);
}

void EditorWindow::FormEdited(int column, const QString& text) {
    if (m_bFilling) return;
    if (const std::optional<int> row = CurrentRow())
        m_model->setData(m_model->index(*row, column), text, Qt::EditRole);
}

void EditorWindow::UpdateState() {
    const std::optional<int> row = CurrentRow();
    m_editSurface->setEnabled(row.has_value());
    m_editReplacement->setEnabled(row.has_value());
    m_btnRemove->setEnabled(row.has_value());
    m_btnPreview->setEnabled(m_preview && row &&
                             !m_doc.Replacement(static_cast<std::size_t>(*row)).empty());
    m_labelRowStatus->setText(
        row ? QString::fromStdString(RowStatusText(m_doc, static_cast<std::size_t>(*row)))
            : QString());

    std::size_t refused = 0;
    for (std::size_t r = 0; r < m_doc.RowCount(); ++r)
        if (m_doc.RowFault(r) != synth::DictionaryFault::None) ++refused;
    QString summary = QStringLiteral("%1 行").arg(m_doc.RowCount());
    if (refused > 0) summary += QStringLiteral("・読み込めない行 %1").arg(refused);
    if (m_doc.Dirty()) summary += QStringLiteral("・未保存の変更があります");
    if (IsReadOnlyFile(m_strPath)) summary += QStringLiteral("・読み取り専用");
    m_labelSummary->setText(summary);
}

void EditorWindow::Add() {
    m_editSearch->clear();
    const int row = m_model->AddRow();
    SelectRow(row);
    m_editSurface->setFocus();
}

void EditorWindow::Remove() {
    const std::optional<int> row = CurrentRow();
    if (!row) return;
    m_model->RemoveRow(*row);
    if (m_model->rowCount() > 0) SelectRow(std::min(*row, m_model->rowCount() - 1));
    CurrentChanged();
}

void EditorWindow::Preview() {
    const std::optional<int> row = CurrentRow();
    if (!m_preview || !row) return;
    std::string why;
    if (!m_preview->Play(m_doc.Replacement(static_cast<std::size_t>(*row)), &why))
        m_prompts.Warn("試聴できません。\n(" + why + ")");
}

bool EditorWindow::Save() {
    // An open cell editor hands its text to the model when it loses the focus.
    if (QWidget* focus = QApplication::focusWidget(); focus && m_table->isAncestorOf(focus))
        focus->clearFocus();
    DictionaryDocument::SaveResult result = m_doc.Save(m_strPath, false);
    if (result.status == DictionaryDocument::SaveStatus::EngineWouldRefuse) {
        if (result.verdict.row) SelectRow(static_cast<int>(*result.verdict.row));
        if (!m_prompts.Confirm(RefusedSaveQuestion(result.verdict))) return false;
        result = m_doc.Save(m_strPath, true);
    }
    if (result.status != DictionaryDocument::SaveStatus::Saved) {
        m_prompts.Warn(SaveFailureText(m_strPath, result));
        return false;
    }
    m_model->Refresh();
    UpdateState();
    return true;
}

void EditorWindow::closeEvent(QCloseEvent* event) {
    if (m_doc.Dirty()) {
        switch (m_prompts.AskSaveChanges(kUnsavedQuestion)) {
            case Prompts::SaveChoice::Save:
                if (!Save()) return event->ignore();
                break;
            case Prompts::SaveChoice::Discard:
                break;
            case Prompts::SaveChoice::Cancel:
                return event->ignore();
        }
    }
    if (m_preview) m_preview->Stop();
    event->accept();
}

}  // namespace dicteditor
