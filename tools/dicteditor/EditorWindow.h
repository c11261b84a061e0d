#pragma once
// The editor's window: a search field, the table of rows (sortable, editable in place), a
// form for the current row, a 読み確認 field with the line that says how the voice reads it
// (or the current row's replacement when the field is empty), and the buttons 追加, 削除,
// 試聴, 保存 and 閉じる. Every control carries an accessible name, so assistive tools and the
// end-to-end tests find it by name.

#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "tools/dicteditor/DictionaryDocument.h"
#include "tools/dicteditor/EnginePreview.h"
#include "tools/dicteditor/Prompts.h"
#include "tools/dicteditor/ReadingCheck.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;

namespace dicteditor {

class DictionaryTableModel;
class RowFilter;

class EditorWindow : public QWidget {
  public:
    // preview may be null (no 試聴, no readings).
    EditorWindow(std::string path, DictionaryDocument doc, Prompts& prompts,
                 std::unique_ptr<EnginePreview> preview);
    ~EditorWindow() override;

    // True when the file was saved (or the user chose to save a refused text anyway).
    bool Save();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void Add();
    void Remove();
    void Preview();
    void CurrentChanged();
    void FormEdited(int column, const QString& text);
    void UpdateState();
    void UpdateReading();
    void ReadingDone(uint64_t request, const QString& text);
    std::optional<int> CurrentRow() const;
    void SelectRow(int row);

    std::string m_strPath;
    DictionaryDocument m_doc;
    Prompts& m_prompts;
    std::unique_ptr<EnginePreview> m_preview;
    DictionaryTableModel* m_model;
    RowFilter* m_filter;
    QLineEdit* m_editSearch;
    QTableView* m_table;
    QLineEdit* m_editSurface;
    QLineEdit* m_editReplacement;
    QLabel* m_labelRowStatus;
    QLineEdit* m_editCheck;
    QLabel* m_labelReading;
    QTimer* m_timerReadingBusy;
    QLabel* m_labelSummary;
    QPushButton* m_btnAdd;
    QPushButton* m_btnRemove;
    QPushButton* m_btnPreview;
    QPushButton* m_btnSave;
    QPushButton* m_btnClose;
    bool m_bFilling = false;
    // After m_preview, so that it ends first: its look-ups use the engine.
    std::unique_ptr<ReadingCheck> m_readingCheck;
    uint64_t m_nReadingRequest = 0;  // the one whose answer is shown; 0 for none
    std::optional<std::string> m_strReadingText;
};

}  // namespace dicteditor
