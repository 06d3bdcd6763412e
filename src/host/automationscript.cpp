// The steps of an --automate script, read and checked before anything runs.
#include "automationscript.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QKeySequence>

#include <algorithm>

namespace suite::host {

namespace {

struct ActionSpec {
    const char* name;
    QList<const char*> required;
};

const QList<ActionSpec>& actionSpecs()
{
    static const QList<ActionSpec> specs{
        {"focus", {"target"}},
        {"type", {"text"}},
        {"key", {"key"}},
        {"click", {"target"}},
        {"doubleClick", {"target", "row"}},
        {"clickTitle", {"target", "column"}},
        {"expect", {"target", "property", "value"}},
        {"expectMessage", {}},
        {"answer", {"dialog"}},
        {"menu", {}},
        {"open", {"module"}},
        {"activate", {"target"}},
        {"close", {"target"}},
    };
    return specs;
}

const QStringList kDialogs{QStringLiteral("message"), QStringLiteral("pickList"), QStringLiteral("lookup"),
                           QStringLiteral("find"),    QStringLiteral("savePath"), QStringLiteral("inputText")};

QString checkStep(const QJsonObject& step)
{
    const QString action = step.value(QStringLiteral("do")).toString();
    const auto& specs = actionSpecs();
    const auto spec = std::find_if(specs.cbegin(), specs.cend(),
                                   [&](const ActionSpec& s) { return action == QLatin1String(s.name); });
    if (spec == specs.cend())
        return QStringLiteral("ação desconhecida \"%1\"").arg(action);
    for (const char* key : spec->required) {
        if (!step.contains(QLatin1String(key)))
            return QStringLiteral("\"%1\" precisa de \"%2\"").arg(action, QLatin1String(key));
    }
    if (action == QLatin1String("key")) {
        const QKeySequence sequence =
            QKeySequence::fromString(step.value(QStringLiteral("key")).toString(), QKeySequence::PortableText);
        if (sequence.count() != 1 || sequence[0].key() == Qt::Key_unknown)
            return QStringLiteral("tecla inválida \"%1\"").arg(step.value(QStringLiteral("key")).toString());
    }
    if (action == QLatin1String("answer") && !kDialogs.contains(step.value(QStringLiteral("dialog")).toString()))
        return QStringLiteral("diálogo desconhecido \"%1\"").arg(step.value(QStringLiteral("dialog")).toString());
    if (action == QLatin1String("expectMessage") && !step.contains(QStringLiteral("text")) &&
        !step.contains(QStringLiteral("contains")))
        return QStringLiteral("\"expectMessage\" precisa de \"text\" ou \"contains\"");
    if (action == QLatin1String("expect") &&
        step.value(QStringLiteral("property")).toString() == QLatin1String("cell") &&
        !(step.contains(QStringLiteral("row")) && step.contains(QStringLiteral("column"))))
        return QStringLiteral("\"expect\" de \"cell\" precisa de \"row\" e \"column\"");
    if (action == QLatin1String("menu") && !step.contains(QStringLiteral("text")) &&
        !step.contains(QStringLiteral("target")))
        return QStringLiteral("\"menu\" precisa de \"text\" ou \"target\"");
    return {};
}

QString quoted(const QJsonValue& value)
{
    if (value.isString())
        return u'"' + value.toString() + u'"';
    return QString::fromUtf8(QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact)).mid(1).chopped(1);
}

} // namespace

QString AutomationStep::description() const
{
    const QString target = args.value(QStringLiteral("target")).toString();
    if (action == QLatin1String("type"))
        return QStringLiteral("type %1 %2").arg(target, quoted(args.value(QStringLiteral("text")))).simplified();
    if (action == QLatin1String("key"))
        return QStringLiteral("key %1 %2").arg(args.value(QStringLiteral("key")).toString(), target).simplified();
    if (action == QLatin1String("doubleClick"))
        return QStringLiteral("doubleClick %1 linha %2").arg(target).arg(args.value(QStringLiteral("row")).toInt());
    if (action == QLatin1String("clickTitle"))
        return QStringLiteral("clickTitle %1.%2").arg(target, args.value(QStringLiteral("column")).toString());
    if (action == QLatin1String("expect") && args.value(QStringLiteral("property")).toString() == QLatin1String("cell"))
        return QStringLiteral("expect %1[%2].%3 = %4")
            .arg(target)
            .arg(args.value(QStringLiteral("row")).toInt())
            .arg(args.value(QStringLiteral("column")).toString(), quoted(args.value(QStringLiteral("value"))));
    if (action == QLatin1String("expect"))
        return QStringLiteral("expect %1.%2 = %3")
            .arg(target, args.value(QStringLiteral("property")).toString(),
                 quoted(args.value(QStringLiteral("value"))));
    if (action == QLatin1String("expectMessage"))
        return args.contains(QStringLiteral("text"))
                   ? QStringLiteral("expectMessage %1").arg(quoted(args.value(QStringLiteral("text"))))
                   : QStringLiteral("expectMessage contém %1").arg(quoted(args.value(QStringLiteral("contains"))));
    if (action == QLatin1String("answer")) {
        QJsonObject answer = args;
        answer.remove(QStringLiteral("do"));
        answer.remove(QStringLiteral("dialog"));
        return QStringLiteral("answer %1 %2")
            .arg(args.value(QStringLiteral("dialog")).toString(),
                 QString::fromUtf8(QJsonDocument(answer).toJson(QJsonDocument::Compact)));
    }
    if (action == QLatin1String("menu"))
        return QStringLiteral("menu %1").arg(
            args.contains(QStringLiteral("text")) ? quoted(args.value(QStringLiteral("text"))) : target);
    if (action == QLatin1String("open"))
        return QStringLiteral("open %1").arg(args.value(QStringLiteral("module")).toString());
    return QStringLiteral("%1 %2").arg(action, target);
}

std::optional<QList<AutomationStep>> AutomationScript::parse(const QByteArray& json, QString* error)
{
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error = QStringLiteral("JSON inválido (posição %1): %2").arg(parseError.offset).arg(parseError.errorString());
        return std::nullopt;
    }
    const QJsonArray steps =
        document.isArray() ? document.array() : document.object().value(QStringLiteral("steps")).toArray();
    if (steps.isEmpty()) {
        *error = QStringLiteral("o roteiro não tem passos (uma lista, ou {\"steps\": [...]})");
        return std::nullopt;
    }
    QList<AutomationStep> result;
    for (qsizetype i = 0; i < steps.size(); ++i) {
        const QJsonObject step = steps.at(i).toObject();
        const QString problem = steps.at(i).isObject() ? checkStep(step) : QStringLiteral("o passo não é um objeto");
        if (!problem.isEmpty()) {
            *error = QStringLiteral("passo %1: %2").arg(i + 1).arg(problem);
            return std::nullopt;
        }
        result.append({step.value(QStringLiteral("do")).toString(), step});
    }
    return result;
}

std::optional<QList<AutomationStep>> AutomationScript::load(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("não foi possível ler %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    return parse(file.readAll(), error);
}

} // namespace suite::host
