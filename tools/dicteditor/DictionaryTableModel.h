#pragma once
// The document's rows as a Qt table: 表記 and 読み (editable) and 状態 (why the engine refuses
// a row or never uses it). Every edit goes to the document.

#include <QAbstractTableModel>

#include "tools/dicteditor/DictionaryDocument.h"

namespace dicteditor {

class DictionaryTableModel : public QAbstractTableModel {
  public:
    enum Column { kSurface, kReplacement, kStatus, kColumnCount };

    explicit DictionaryTableModel(DictionaryDocument& doc, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    int AddRow();
    void RemoveRow(int row);
    // After a save, which may renumber and settle rows.
    void Refresh();

  private:
    void StatusChanged();
    DictionaryDocument& m_doc;
};

}  // namespace dicteditor
