// Cursor, edit buffer and change notification of a data set.
#include "dataset.h"

#include "errors.h"

#include <packet.h>

#include <algorithm>

namespace mrv {

TDataSet::TDataSet(QObject* parent)
    : QObject(parent)
{}

TDataSet::~TDataSet() = default;

TField* TDataSet::addField(const QString& name, FieldType type, int size, const QString& label, int displayWidth,
                           bool visible)
{
    if (Active())
        throw Exception(QStringLiteral("Não é possível definir o campo %1 com %2 aberto.").arg(name, objectName()));
    if (FindField(name))
        throw Exception(QStringLiteral("Campo %1 definido duas vezes em %2.").arg(name, objectName()));
    auto* field = new TField(this, name, type, size);
    if (!label.isEmpty())
        field->DisplayLabel = label;
    field->DisplayWidth = displayWidth;
    field->Visible = visible;
    m_fields.append(field);
    return field;
}

TField* TDataSet::FindField(const QString& name) const
{
    for (TField* field : m_fields) {
        if (field->name().compare(name, Qt::CaseInsensitive) == 0)
            return field;
    }
    return nullptr;
}

TField* TDataSet::FieldByName(const QString& name) const
{
    if (TField* field = FindField(name))
        return field;
    throw Exception(QStringLiteral("Campo %1 não encontrado em %2.").arg(name, objectName()));
}

void TDataSet::Open()
{
    if (Active())
        return;
    doOpen();
    m_eof = m_rows.isEmpty();
    m_bof = true;
    m_current = m_rows.isEmpty() ? -1 : 0;
    setState(dsBrowse);
    notifyData();
    notifyCurrent();
}

void TDataSet::doOpen()
{
    m_rows.clear();
}

void TDataSet::Close()
{
    if (!Active())
        return;
    m_buffer.clear();
    m_rows.clear();
    m_current = -1;
    m_eof = m_bof = true;
    setState(dsInactive);
    notifyData();
    notifyCurrent();
}

void TDataSet::setActive(bool active)
{
    if (active)
        Open();
    else
        Close();
}

void TDataSet::loadRows(const QVector<Column>& columns, QVector<QVector<QVariant>>&& rows)
{
    // Fields a previous load created and this one does not bring go away.
    for (auto it = m_dynamicFields.begin(); it != m_dynamicFields.end();) {
        const bool kept = std::any_of(columns.begin(), columns.end(), [&](const Column& c) {
            return c.name.compare((*it)->name(), Qt::CaseInsensitive) == 0;
        });
        if (kept) {
            ++it;
        } else {
            m_fields.removeOne(*it);
            delete *it;
            it = m_dynamicFields.erase(it);
        }
    }

    QVector<int> target(columns.size());
    for (qsizetype c = 0; c < columns.size(); ++c) {
        TField* field = FindField(columns.at(c).name);
        if (!field) {
            field = new TField(this, columns.at(c).name, columns.at(c).type, columns.at(c).size);
            m_fields.append(field);
            m_dynamicFields.append(field);
        }
        target[c] = int(m_fields.indexOf(field));
    }
    for (TField* field : std::as_const(m_fields)) {
        if (!target.contains(int(m_fields.indexOf(field))))
            throw Exception(QStringLiteral("Campo %1 ausente nos dados de %2.").arg(field->name(), objectName()));
    }

    for (QVector<QVariant>& row : rows) {
        QVector<QVariant> ordered(m_fields.size());
        for (qsizetype c = 0; c < columns.size(); ++c)
            ordered[target.at(c)] = m_fields.at(target.at(c))->convert(row.value(c));
        row = std::move(ordered);
    }
    m_rows = std::move(rows);
}

namespace {

FieldType fieldTypeOf(suite::wire::ColumnType type)
{
    switch (type) {
    case suite::wire::ColumnType::Integer:
        return FieldType::Integer;
    case suite::wire::ColumnType::Float:
        return FieldType::Float;
    case suite::wire::ColumnType::Date:
        return FieldType::Date;
    case suite::wire::ColumnType::String:
        break;
    }
    return FieldType::String;
}

suite::wire::ColumnType columnTypeOf(FieldType type)
{
    switch (type) {
    case FieldType::Integer:
        return suite::wire::ColumnType::Integer;
    case FieldType::Float:
        return suite::wire::ColumnType::Float;
    case FieldType::Date:
        return suite::wire::ColumnType::Date;
    case FieldType::String:
        break;
    }
    return suite::wire::ColumnType::String;
}

} // namespace

void TDataSet::setData(const QJsonObject& packet)
{
    using suite::wire::Packet;
    Packet::Problem problem = Packet::Problem::NotAPacket;
    std::optional<Packet> read = Packet::fromJson(packet, &problem);
    if (!read) {
        switch (problem) {
        case Packet::Problem::UnnamedColumn:
            throw Exception(QStringLiteral("Pacote de dados para %1 com coluna sem nome.").arg(objectName()));
        case Packet::Problem::RaggedRow:
            throw Exception(QStringLiteral("Pacote de dados para %1 com linha incompleta.").arg(objectName()));
        case Packet::Problem::NotAPacket:
        case Packet::Problem::NestedCell:
        case Packet::Problem::IntegerOutOfRange:
            break;
        }
        throw Exception(QStringLiteral("Pacote de dados inválido para %1.").arg(objectName()));
    }
    QVector<Column> columns;
    columns.reserve(read->columns().size());
    for (const suite::wire::Column& c : read->columns())
        columns.append({c.name, fieldTypeOf(c.type), c.size});
    QVector<QVector<QVariant>> rows = read->takeRows();

    // A load is an opening, also of an open data set: state followers re-evaluate
    // (row count may have changed), and views repaint once.
    const bool wasActive = Active();
    m_buffer.clear();
    if (wasActive)
        m_state = dsBrowse;
    try {
        loadRows(columns, std::move(rows));
    } catch (...) {
        Close();
        throw;
    }
    m_eof = m_rows.isEmpty();
    m_bof = true;
    m_current = m_rows.isEmpty() ? -1 : 0;
    m_state = dsBrowse;
    if (!ControlsDisabled())
        emit stateChanged();
    notifyData();
    notifyCurrent();
}

QJsonObject TDataSet::Data() const
{
    QList<suite::wire::Column> columns;
    columns.reserve(m_fields.size());
    for (const TField* field : m_fields)
        columns.append({field->name(), columnTypeOf(field->type()), field->size()});
    suite::wire::Packet packet(std::move(columns));
    packet.setRows(m_rows);
    return packet.toJson();
}

QVariant TDataSet::valueAt(int row, int column) const
{
    if (row == m_current && (m_state == dsEdit || m_state == dsInsert))
        return m_buffer.value(column);
    if (row < 0 || row >= m_rows.size())
        return {};
    return m_rows.at(row).value(column);
}

QVariant TDataSet::currentValue(int column) const
{
    if (m_displayRow >= 0 && m_displayRow != m_current && m_displayRow < m_rows.size())
        return m_rows.at(m_displayRow).value(column);
    if (m_state == dsEdit || m_state == dsInsert)
        return m_buffer.value(column);
    if (m_current < 0)
        return {};
    return m_rows.at(m_current).value(column);
}

void TDataSet::setCurrentValue(int column, const QVariant& value)
{
    if (m_state != dsEdit && m_state != dsInsert)
        throw Exception(QStringLiteral("%1 não está em edição.").arg(objectName()));
    m_buffer[column] = value;
}

namespace {
void requireActive(const TDataSet* ds)
{
    if (!ds->Active())
        throw Exception(QStringLiteral("Operação não permitida: %1 está fechado.").arg(ds->objectName()));
}
} // namespace

void TDataSet::checkBrowseMode()
{
    requireActive(this);
    if (m_state == dsEdit || m_state == dsInsert)
        Post();
}

void TDataSet::moveTo(int row)
{
    if (row == m_current)
        return;
    m_current = row;
    notifyCurrent();
}

void TDataSet::First()
{
    checkBrowseMode();
    moveTo(m_rows.isEmpty() ? -1 : 0);
    m_bof = true;
    m_eof = m_rows.isEmpty();
}

void TDataSet::Next()
{
    checkBrowseMode();
    if (m_current + 1 < m_rows.size()) {
        moveTo(m_current + 1);
        m_bof = false;
        m_eof = false;
    } else {
        m_eof = true;
    }
}

void TDataSet::Prior()
{
    checkBrowseMode();
    if (m_current > 0) {
        moveTo(m_current - 1);
        m_bof = false;
        m_eof = false;
    } else {
        m_bof = true;
    }
}

void TDataSet::Last()
{
    checkBrowseMode();
    moveTo(int(m_rows.size()) - 1);
    m_eof = true;
    m_bof = m_rows.isEmpty();
}

void TDataSet::setRecNo(int row)
{
    checkBrowseMode();
    if (m_rows.isEmpty())
        return;
    moveTo(std::clamp(row, 0, int(m_rows.size()) - 1));
    m_bof = m_eof = false;
}

bool TDataSet::Locate(const QString& fieldName, const QVariant& value)
{
    checkBrowseMode();
    const int column = FieldByName(fieldName)->index();
    const QString wanted = value.toString();
    for (int row = 0; row < m_rows.size(); ++row) {
        const QVariant& cell = m_rows.at(row).at(column);
        if (cell.isNull() == value.isNull() && cell.toString() == wanted) {
            moveTo(row);
            m_bof = m_eof = false;
            return true;
        }
    }
    return false;
}

void TDataSet::Edit()
{
    requireActive(this);
    if (m_state == dsEdit || m_state == dsInsert)
        return;
    if (m_rows.isEmpty()) {
        Append();
        return;
    }
    m_buffer = m_rows.at(m_current);
    setState(dsEdit);
}

void TDataSet::Append()
{
    checkBrowseMode();
    m_buffer = QVector<QVariant>(m_fields.size());
    setState(dsInsert);
}

void TDataSet::Post()
{
    if (m_state == dsEdit) {
        m_rows[m_current] = std::move(m_buffer);
        m_buffer.clear();
        setState(dsBrowse);
        notifyData();
    } else if (m_state == dsInsert) {
        m_rows.append(std::move(m_buffer));
        m_buffer.clear();
        m_current = int(m_rows.size()) - 1;
        m_bof = false;
        m_eof = false;
        setState(dsBrowse);
        notifyData();
        notifyCurrent();
    }
}

void TDataSet::Cancel()
{
    if (m_state != dsEdit && m_state != dsInsert)
        return;
    m_buffer.clear();
    setState(dsBrowse);
}

void TDataSet::Delete()
{
    requireActive(this);
    if (m_state == dsInsert) {
        Cancel();
        return;
    }
    if (m_state == dsEdit)
        Cancel();
    if (m_rows.isEmpty())
        return;
    m_rows.remove(m_current);
    if (m_current >= m_rows.size())
        m_current = int(m_rows.size()) - 1;
    m_eof = m_rows.isEmpty();
    notifyData();
    notifyCurrent();
}

void TDataSet::setState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    if (!ControlsDisabled())
        emit stateChanged();
}

void TDataSet::notifyData()
{
    if (!ControlsDisabled())
        emit dataChanged();
}

void TDataSet::notifyCurrent()
{
    if (ControlsDisabled())
        m_pendingCurrent = true;
    else
        emit currentChanged();
}

void TDataSet::DisableControls()
{
    if (m_disableCount++ == 0) {
        m_stateAtDisable = m_state;
        m_pendingCurrent = false;
    }
}

void TDataSet::EnableControls()
{
    if (m_disableCount == 0 || --m_disableCount > 0)
        return;
    if (m_state != m_stateAtDisable)
        emit stateChanged();
    emit dataChanged();
    if (m_pendingCurrent) {
        m_pendingCurrent = false;
        emit currentChanged();
    }
}

} // namespace mrv
