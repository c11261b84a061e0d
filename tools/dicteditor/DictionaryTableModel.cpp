#include "tools/dicteditor/DictionaryTableModel.h"

#include <QBrush>
#include <QColor>

#include "tools/dicteditor/EditorTexts.h"

namespace dicteditor {

DictionaryTableModel::DictionaryTableModel(DictionaryDocument& doc, QObject* parent)
    : QAbstractTableModel(parent), m_doc(doc) {}

int DictionaryTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_doc.RowCount());
}

int DictionaryTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant DictionaryTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const auto row = static_cast<std::size_t>(index.row());
    const bool refused = m_doc.RowFault(row) != synth::DictionaryFault::None;
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
        case Qt::AccessibleTextRole:
            if (index.column() == kSurface) return QString::fromStdString(m_doc.Surface(row));
            if (index.column() == kReplacement)
                return QString::fromStdString(m_doc.Replacement(row));
            return QString::fromStdString(RowStatusText(m_doc, row));
        case Qt::ToolTipRole: {
            const std::string status = RowStatusText(m_doc, row);
            if (status.empty()) return {};
            const int line = m_doc.RowLine(row);
            return QString::fromStdString(
                (line > 0 ? std::to_string(line) + " 行目: " : std::string()) + status);
        }
        case Qt::BackgroundRole:
            if (refused) return QBrush(QColor(255, 222, 222));
            return {};
        case Qt::ForegroundRole:
            if (!refused && m_doc.RowShadowed(row)) return QBrush(QColor(110, 110, 110));
            return {};
        default:
            return {};
    }
}

bool DictionaryTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole) return false;
    const auto row = static_cast<std::size_t>(index.row());
    const std::string text = value.toString().toStdString();
    if (index.column() == kSurface)
        m_doc.SetSurface(row, text);
    else if (index.column() == kReplacement)
        m_doc.SetReplacement(row, text);
    else
        return false;
    emit dataChanged(this->index(index.row(), kSurface), this->index(index.row(), kStatus));
    StatusChanged();
    return true;
}

Qt::ItemFlags DictionaryTableModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() != kStatus) f |= Qt::ItemIsEditable;
    return f;
}

QVariant DictionaryTableModel::headerData(int section, Qt::Orientation orientation,
                                          int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    switch (section) {
        case kSurface:
            return QStringLiteral("表記");
        case kReplacement:
            return QStringLiteral("読み");
        case kStatus:
            return QStringLiteral("状態");
        default:
            return {};
    }
}

int DictionaryTableModel::AddRow() {
    const int row = static_cast<int>(m_doc.RowCount());
    beginInsertRows({}, row, row);
    m_doc.AddRow({}, {});
    endInsertRows();
    StatusChanged();
    return row;
}

void DictionaryTableModel::RemoveRow(int row) {
    beginRemoveRows({}, row, row);
    m_doc.RemoveRow(static_cast<std::size_t>(row));
    endRemoveRows();
    StatusChanged();
}

void DictionaryTableModel::Refresh() {
    if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, kStatus));
}

// Shadowing runs across rows: an edit can change any other row's status.
void DictionaryTableModel::StatusChanged() {
    if (rowCount() > 0) emit dataChanged(index(0, kStatus), index(rowCount() - 1, kStatus));
}

}  // namespace dicteditor
