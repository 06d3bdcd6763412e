// suite-cli's commands.
#include "commands.h"

#include "clisession.h"
#include "exitcodes.h"
#include "output.h"

#include <callprogress.h>
#include <clientdataset.h>
#include <errors.h>
#include <intgcentralcalls.h>
#include <passwordfile.h>
#include <protocol.h>
#include <report.h>
#include <servertrust.h>
#include <shortdate.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTextStream>
#include <QTimer>

#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace suite::cli {

namespace {

const QString kReportCode = QStringLiteral("RCI060");

// A wrong command line: said on stderr with the usage, nothing asked of the server.
class UsageError : public mrv::Exception {
public:
    using mrv::Exception::Exception;
};

QString option(const QCommandLineParser& parser, const char* name)
{
    return parser.value(QString::fromLatin1(name)).trimmed();
}

void addOptions(QCommandLineParser& parser, const QList<std::pair<const char*, const char*>>& withValue,
                const QList<const char*>& flags = {})
{
    for (const auto& [name, value] : withValue)
        parser.addOption({QString::fromLatin1(name), QString(), QString::fromLatin1(value)});
    for (const char* name : flags)
        parser.addOption({QString::fromLatin1(name), QString()});
}

void parse(QCommandLineParser& parser, const QStringList& arguments, int positional)
{
    // The command's name stands where the program's would.
    if (!parser.parse(arguments))
        throw UsageError(parser.errorText());
    if (parser.positionalArguments().size() != positional)
        throw UsageError(QStringLiteral("%1 pede %2 argumento(s): %3")
                             .arg(arguments.first())
                             .arg(positional)
                             .arg(parser.positionalArguments().join(QLatin1Char(' '))));
}

qint64 runNumber(const QString& text)
{
    bool ok = false;
    const qint64 run = text.toLongLong(&ok);
    if (!ok || run <= 0)
        throw UsageError(QStringLiteral("número de integração inválido: \"%1\"").arg(text));
    return run;
}

// "T" stays all; "a,b" becomes the choice list "a_b_" the service reads.
QString choiceList(const QString& text)
{
    if (text.isEmpty() || text == QLatin1String("T"))
        return text;
    QStringList keys;
    for (const QString& key : text.split(QLatin1Char(','), Qt::SkipEmptyParts))
        keys << key.trimmed();
    return mrv::choiceList(keys);
}

QDate dateOption(const QCommandLineParser& parser, const char* name)
{
    const QString text = option(parser, name);
    if (text.isEmpty())
        return {};
    const QDate date = wire::ShortDate(text);
    if (!date.isValid())
        throw UsageError(QStringLiteral("--%1: \"%2\" não é uma data dd/mm/aaaa.").arg(QLatin1String(name), text));
    return date;
}

// All the observations of a log, of which the server may have sent only the first.
qint64 observationCount(const QJsonObject& answer, const QJsonObject& packet)
{
    return answer.value(QStringLiteral("total")).toInteger(packet.value(QStringLiteral("rows")).toArray().size());
}

void printPartial(const QJsonObject& packet, qint64 total)
{
    const qsizetype shown = packet.value(QStringLiteral("rows")).toArray().size();
    if (total > shown)
        printOut(QStringLiteral("O log tem %1 observações; acima estão as primeiras %2, na ordem do log.\n")
                     .arg(total)
                     .arg(shown));
}

QJsonObject result(const QJsonObject& answer)
{
    return mrv::CheckResultServ(answer, true, 0);
}

QString defaultReportsDir()
{
    const QDir bin(QCoreApplication::applicationDirPath());
    for (const char* candidate : {"../reports", "../../reports", "../share/suite/reports"}) {
        const QString dir = bin.absoluteFilePath(QString::fromLatin1(candidate));
        if (QFileInfo::exists(dir + QLatin1Char('/') + kReportCode + QStringLiteral(".json")))
            return QDir::cleanPath(dir);
    }
    return bin.absoluteFilePath(QStringLiteral("../reports"));
}

// The log's columns as the report shows them (its titles and the observations in words).
QList<Shown> logColumns(const QString& reportsDir)
{
    QList<Shown> columns{{QStringLiteral("CDFILDESTLOG"), QStringLiteral("Destino")}};
    for (const mrv::ReportDefinition::Column& c : mrv::Report::load(kReportCode, reportsDir).columns)
        columns << Shown{c.field, c.title, c.values};
    return columns;
}

// The log's own columns under the titles and words the report gives them; `field` names the column in another
// packet that holds the same values.
Shown asInReport(const QList<Shown>& log, const QString& logField, const QString& field)
{
    for (const Shown& column : log) {
        if (column.field == logField)
            return {field, column.title, column.values};
    }
    return {field, logField};
}

// A preview's rows: what each destination recipe would lose and gain, then the observations, worded as the report.
QList<Shown> previewColumns(const QString& reportsDir)
{
    const QList<Shown> log = logColumns(reportsDir);
    const auto same = [&](const char* field) {
        return asInReport(log, QString::fromLatin1(field), QString::fromLatin1(field));
    };
    return {{QStringLiteral("CDFILDESTLOG"), QStringLiteral("Destino")},
            same("IDTIPORECELOG"),
            {QStringLiteral("CDSERVFILI"), QStringLiteral("Serviço")},
            asInReport(log, QStringLiteral("CDFAPRAORIGLOG"), QStringLiteral("CDFILAUXPRAT")),
            same("CDPRATOLOG"),
            {QStringLiteral("QTREMOVIDAS"), QStringLiteral("Linhas removidas")},
            {QStringLiteral("QTINSERIDAS"), QStringLiteral("Linhas inseridas")},
            same("CDARVPROD"),
            same("NMPRODUTO"),
            same("IDNUMEROERRO")};
}

// A run's log is all observations; a preview's rows are its changes too, and only rows that carry an observation
// number are observations.
int observationsExit(const QJsonObject& packet)
{
    qsizetype code = -1;
    const QJsonArray columns = packet.value(QStringLiteral("columns")).toArray();
    for (qsizetype i = 0; i < columns.size(); ++i) {
        if (columns.at(i).toObject().value(QStringLiteral("name")).toString() == QLatin1String("IDNUMEROERRO"))
            code = i;
    }
    for (const QJsonValue& row : packet.value(QStringLiteral("rows")).toArray()) {
        if (code < 0 || !row.toArray().at(code).toString().isEmpty())
            return kExitObservations;
    }
    return kExitOk;
}

// The service's progress on stderr while a long call runs.
class ProgressLine {
public:
    explicit ProgressLine(CliSession& session)
        : m_progress(*session.net(), [this](const QString& text) {
            printErr(QStringLiteral("\r%1").arg(text.leftJustified(m_width)));
            m_width = int(text.size());
        })
    {}
    ~ProgressLine()
    {
        if (m_width > 0)
            printErr(QStringLiteral("\n"));
    }

private:
    int m_width = 0;
    mrv::CallProgress m_progress;
};

QString readPassword()
{
    if (const QString env = qEnvironmentVariable("SUITE_PASSWORD"); !env.isEmpty())
        return env;
    const bool terminal = isatty(STDIN_FILENO);
    termios saved{};
    if (terminal) {
        printErr(QStringLiteral("Senha: "));
        tcgetattr(STDIN_FILENO, &saved);
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    QTextStream in(stdin);
    const QString password = in.readLine();
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
        printErr(QStringLiteral("\n"));
    }
    return password;
}

// The first line of `path`, as a script keeps a password out of every process list.
QString passwordFromFile(const QString& path)
{
    QString error;
    const std::optional<QString> password = mrv::passwordFromFile(path, error);
    if (!password)
        throw UsageError(error);
    return *password;
}

int login(const Common& common, const QStringList& arguments)
{
    QCommandLineParser parser;
    addOptions(parser, {{"user", "OPERADOR"}, {"password", "SENHA"}, {"password-file", "ARQUIVO"}});
    parse(parser, arguments, 0);
    if (option(parser, "user").isEmpty())
        throw UsageError(QStringLiteral("login pede --user"));
    const bool onCommandLine = parser.isSet(QStringLiteral("password"));
    const bool fromFile = parser.isSet(QStringLiteral("password-file"));
    if (onCommandLine && fromFile)
        throw UsageError(QStringLiteral("login aceita --password ou --password-file, não os dois"));
    // Kept for the scripts that use it, but every user of the machine sees a command line.
    if (onCommandLine)
        printErr(QStringLiteral("suite-cli: aviso: --password fica visível a outros usuários (ps); use "
                                "--password-file, SUITE_PASSWORD ou a senha pedida no terminal\n"));
    const QString password = onCommandLine ? parser.value(QStringLiteral("password"))
                             : fromFile    ? passwordFromFile(parser.value(QStringLiteral("password-file")))
                                           : readPassword();
    CliSession session(common.sessionFile);
    session.login(common.server.isEmpty() ? QStringLiteral("127.0.0.1:8211") : common.server, option(parser, "user"),
                  password, common.caFile);
    if (common.json)
        printJson({{QStringLiteral("operator"), session.operatorCode()}, {QStringLiteral("server"), session.server()}});
    else
        printOut(QStringLiteral("Sessão aberta para %1 em %2 (%3).\n")
                     .arg(session.operatorCode(), session.server(), session.file()));
    return kExitOk;
}

// Why a grouping offers no destination: the service lists a grouping only when it holds a branch of the operator.
QString emptyGrouping(CliSession& session, const QString& group, const QString& source)
{
    if (group == QLatin1String("T"))
        return QStringLiteral("Não há filial destino para a origem %1.").arg(source);
    const QJsonObject groupings = result(rci06000::GetGrupFili(session.net()));
    for (const QJsonValue& row : groupings.value(QStringLiteral("rows")).toArray()) {
        if (row.toArray().at(0).toString() == group)
            return QStringLiteral("O agrupamento %1 não tem filial destino para a origem %2.").arg(group, source);
    }
    return QStringLiteral("Agrupamento de filiais não cadastrado: %1.").arg(group);
}

// The destination packet with the chosen branches marked, as the screen's grid sends it.
QJsonObject destinations(CliSession& session, const QCommandLineParser& parser, const QString& source)
{
    const QString grouping = option(parser, "grouping");
    const QString branches = option(parser, "branches");
    if (parser.isSet(QStringLiteral("grouping")) && grouping.isEmpty())
        throw UsageError(QStringLiteral("--grouping sem código: informe o agrupamento, ou T para todas as filiais"));
    if (parser.isSet(QStringLiteral("branches")) && branches.isEmpty())
        throw UsageError(QStringLiteral("--branches sem filiais: informe os códigos, F,F"));
    if (grouping.isEmpty() == branches.isEmpty())
        throw UsageError(QStringLiteral("informe --grouping ou --branches"));
    const QString group =
        grouping.isEmpty() || grouping == QLatin1String("T") ? QStringLiteral("T") : mrv::Ajusta(grouping, 10);
    QJsonObject packet = result(rci06000::GetFiliGrup(session.net(), group, source));
    QStringList wanted;
    for (const QString& code : branches.split(QLatin1Char(','), Qt::SkipEmptyParts))
        wanted << mrv::Ajusta(code, 4);
    QJsonArray rows;
    QStringList skipped;
    for (const QJsonValue& value : packet.value(QStringLiteral("rows")).toArray()) {
        QJsonArray row = value.toArray();
        const QString code = row.at(1).toString();
        const bool rescinded = row.at(3).toString() == QLatin1String("S");
        bool mark = grouping.isEmpty() ? wanted.removeAll(code) > 0 : !rescinded;
        if (grouping.isEmpty() && mark && rescinded)
            throw mrv::ServiceRefusal(QStringLiteral("Filial com contrato rescindido: %1.").arg(code));
        if (!grouping.isEmpty() && rescinded)
            skipped << code;
        row[0] = mark ? QStringLiteral("S") : QStringLiteral("N");
        rows.append(row);
    }
    if (!wanted.isEmpty())
        throw mrv::ServiceRefusal(QStringLiteral("Filial destino não disponível para a origem %1: %2.")
                                      .arg(source, wanted.join(QStringLiteral(", "))));
    if (!grouping.isEmpty() && rows.isEmpty())
        throw mrv::ServiceRefusal(emptyGrouping(session, group, source));
    if (!grouping.isEmpty() && rows.size() == skipped.size())
        throw mrv::ServiceRefusal(
            QStringLiteral("Nenhuma filial destino a integrar: as do agrupamento %1 têm contrato rescindido (%2).")
                .arg(group, skipped.join(QStringLiteral(", "))));
    if (!skipped.isEmpty())
        printErr(QStringLiteral("Filiais com contrato rescindido, não integradas: %1.\n")
                     .arg(skipped.join(QStringLiteral(", "))));
    packet.insert(QStringLiteral("rows"), rows);
    return packet;
}

int integrate(const Common& common, const QStringList& arguments)
{
    QCommandLineParser parser;
    addOptions(parser,
               {{"source", "FILIAL"},
                {"grouping", "AGRUPAMENTO"},
                {"branches", "F,F"},
                {"dishes", "CHAVE,CHAVE"},
                {"trees", "P,L"},
                {"kinds", "L,S"},
                {"from", "DD/MM/AAAA"},
                {"to", "DD/MM/AAAA"},
                {"services", "T|S,S"},
                {"dish-types", "T|T,T"},
                {"cycles", "T|C,C"},
                {"service-patterns", "T|P,P"},
                {"cycle-dish-types", "T|T,T"}},
               {"all", "dry-run"});
    parse(parser, arguments, 0);
    if (option(parser, "source").isEmpty())
        throw UsageError(QStringLiteral("integrate pede --source"));
    const QString source = mrv::Ajusta(option(parser, "source"), 4);
    const bool all = parser.isSet(QStringLiteral("all"));
    if (all == parser.isSet(QStringLiteral("dishes")))
        throw UsageError(QStringLiteral("informe --dishes ou --all"));
    const QStringList trees =
        option(parser, "trees").isEmpty() ? QStringList{"P", "L"} : option(parser, "trees").split(QLatin1Char(','));
    const QStringList kinds =
        option(parser, "kinds").isEmpty() ? QStringList{"L", "S"} : option(parser, "kinds").split(QLatin1Char(','));
    const QDate from = dateOption(parser, "from");
    const QDate to = dateOption(parser, "to");
    const bool menuData = from.isValid() || to.isValid();
    if (menuData && !(from.isValid() && to.isValid()))
        throw UsageError(QStringLiteral("o período pede --from e --to"));
    if (menuData && to < from)
        throw UsageError(QStringLiteral("--to anterior a --from"));
    const bool cycle = parser.isSet(QStringLiteral("cycles")) || parser.isSet(QStringLiteral("service-patterns")) ||
                       parser.isSet(QStringLiteral("cycle-dish-types"));
    if (!all && (menuData || cycle))
        throw UsageError(QStringLiteral("os filtros de cardápio valem com --all"));
    const auto orAll = [&](const char* name) {
        const QString value = choiceList(option(parser, name));
        return value.isEmpty() ? QStringLiteral("T") : value;
    };

    CliSession session(common.sessionFile);
    session.load(common.server, common.caFile);
    const QJsonObject marked = destinations(session, parser, source);

    QString dishes;
    if (all) {
        const rci06000::PesqPratoArgs search{
            .source = source,
            .localTree = trees.contains(QStringLiteral("L")) ? source : QStringLiteral("X"),
            .standardTree = trees.contains(QStringLiteral("P")) ? QStringLiteral("P") : QStringLiteral("X"),
            .levels = 0,
            .services = menuData ? orAll("services") : QString(),
            .dishTypes = menuData ? orAll("dish-types") : QString(),
            .start = from,
            .end = to,
            .cycles = cycle ? orAll("cycles") : QString(),
            .servicePatterns = cycle ? orAll("service-patterns") : QString(),
            .cycleDishTypes = cycle ? orAll("cycle-dish-types") : QString()};
        const QJsonObject found = result(rci06000::GetPesqPrato(session.net(), search));
        for (const QJsonValue& row : found.value(QStringLiteral("rows")).toArray())
            dishes += row.toArray().at(0).toString() + QLatin1Char('_');
        if (dishes.isEmpty())
            throw mrv::ServiceRefusal(QStringLiteral("Não foram encontrados pratos para a parametrização informada."));
    } else {
        dishes = choiceList(option(parser, "dishes"));
    }
    const QString kindCode = QString(kinds.contains(QStringLiteral("L")) ? QLatin1Char('F') : QLatin1Char('X')) +
                             (kinds.contains(QStringLiteral("S")) ? QLatin1Char('S') : QLatin1Char('X'));

    const bool dryRun = parser.isSet(QStringLiteral("dry-run"));
    QJsonObject answer;
    {
        ProgressLine progress(session);
        const auto integrate = dryRun ? rci06000::IntgCentralPreview : rci06000::IntgCentral;
        answer = integrate(session.net(), source, dishes, kindCode, marked, wire::ShortDateText(from),
                           wire::ShortDateText(to));
    }
    const QJsonObject packet = result(answer);
    if (common.json) {
        printJson(answer);
        return observationsExit(packet);
    }
    if (dryRun) {
        printOut(table(packet, previewColumns(common.reportsDir)));
        return observationsExit(packet);
    }
    const QJsonArray rows = packet.value(QStringLiteral("rows")).toArray();
    const QString run = answer.contains(QStringLiteral("run"))
                            ? QStringLiteral("Integração %1").arg(answer.value(QStringLiteral("run")).toInteger())
                            : QStringLiteral("Integração");
    if (rows.isEmpty()) {
        printOut(QStringLiteral("%1 concluída com sucesso.\n").arg(run));
        return kExitOk;
    }
    printOut(table(packet, logColumns(common.reportsDir)));
    const qint64 total = observationCount(answer, packet);
    printOut(QStringLiteral("%1 concluída, com %2 observações.\n").arg(run).arg(total));
    printPartial(packet, total);
    return kExitObservations;
}

int history(const Common& common, const QStringList& arguments)
{
    QCommandLineParser parser;
    parse(parser, arguments, 0);
    CliSession session(common.sessionFile);
    session.load(common.server, common.caFile);
    const QJsonObject packet = result(rci06000::ListIntg(session.net()));
    if (common.json) {
        printJson(packet);
        return kExitOk;
    }
    printOut(table(packet, {{QStringLiteral("NRINTG"), QStringLiteral("Nº")},
                            {QStringLiteral("IDTIPOINTG"),
                             QStringLiteral("Tipo"),
                             {{QStringLiteral("I"), QStringLiteral("integração")},
                              {QStringLiteral("D"), QStringLiteral("desfazimento")}}},
                            {QStringLiteral("NRINTGDESF"), QStringLiteral("Desfaz")},
                            {QStringLiteral("CDOPERADOR"), QStringLiteral("Operador")},
                            {QStringLiteral("DTINICIO"), QStringLiteral("Início")},
                            {QStringLiteral("DTFIM"), QStringLiteral("Fim")},
                            {QStringLiteral("CDFILIORIG"), QStringLiteral("Origem")},
                            {QStringLiteral("IDTIPORECE"), QStringLiteral("Receitas")},
                            {QStringLiteral("QTDESTINOS"), QStringLiteral("Destinos")},
                            {QStringLiteral("QTAPAGADAS"), QStringLiteral("Linhas removidas")},
                            {QStringLiteral("QTINSERIDAS"), QStringLiteral("Linhas inseridas")},
                            {QStringLiteral("QTOBSERV"), QStringLiteral("Observações")},
                            {QStringLiteral("DTDESFEITA"), QStringLiteral("Desfeita em")}}));
    return kExitOk;
}

QJsonObject runLog(const Common& common, qint64 run, qint64* total = nullptr)
{
    CliSession session(common.sessionFile);
    session.load(common.server, common.caFile);
    const QJsonObject answer = rci06000::GetIntgLog(session.net(), run);
    const QJsonObject packet = result(answer);
    if (total)
        *total = observationCount(answer, packet);
    return packet;
}

int log(const Common& common, const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("N"), QString());
    parse(parser, arguments, 1);
    qint64 total = 0;
    const QJsonObject packet = runLog(common, runNumber(parser.positionalArguments().first()), &total);
    if (common.json) {
        printJson(packet);
    } else {
        printOut(table(packet, logColumns(common.reportsDir)));
        printPartial(packet, total);
    }
    return kExitOk;
}

bool confirmed(const QString& question)
{
    if (!isatty(STDIN_FILENO))
        throw UsageError(QStringLiteral("sem terminal para confirmar: use --yes"));
    printErr(question + QStringLiteral(" [s/N] "));
    const QString answer = QTextStream(stdin).readLine().trimmed().toLower();
    return answer == QLatin1String("s") || answer == QLatin1String("sim");
}

int undo(const Common& common, const QStringList& arguments)
{
    QCommandLineParser parser;
    addOptions(parser, {}, {"yes"});
    parser.addPositionalArgument(QStringLiteral("N"), QString());
    parse(parser, arguments, 1);
    const qint64 run = runNumber(parser.positionalArguments().first());
    CliSession session(common.sessionFile);
    session.load(common.server, common.caFile);
    if (!parser.isSet(QStringLiteral("yes")) &&
        !confirmed(QStringLiteral("Desfazer a integração %1, pondo de volta as receitas que ela substituiu?").arg(run)))
        return kExitRefused;
    QJsonObject answer;
    {
        ProgressLine progress(session);
        answer = rci06000::UndoIntg(session.net(), run);
    }
    const QJsonObject packet = result(answer);
    if (common.json) {
        printJson(packet);
        return kExitOk;
    }
    const QJsonArray row = packet.value(QStringLiteral("rows")).toArray().first().toArray();
    printOut(QStringLiteral("Integração %1 desfeita (registrada como %2): %3 receitas de volta como eram.\n")
                 .arg(run)
                 .arg(row.at(0).toInteger())
                 .arg(row.at(1).toInteger()));
    return kExitOk;
}

int report(const Common& common, const QStringList& arguments)
{
    QCommandLineParser parser;
    addOptions(parser, {{"pdf", "ARQUIVO"}, {"csv", "ARQUIVO"}, {"title", "TÍTULO"}});
    parser.addPositionalArgument(QStringLiteral("N"), QString());
    parse(parser, arguments, 1);
    const QString pdf = option(parser, "pdf");
    const QString csv = option(parser, "csv");
    if (pdf.isEmpty() == csv.isEmpty())
        throw UsageError(QStringLiteral("report pede --pdf ARQUIVO ou --csv ARQUIVO"));
    const qint64 run = runNumber(parser.positionalArguments().first());
    const mrv::ReportDefinition definition = mrv::Report::load(kReportCode, common.reportsDir);
    mrv::TClientDataSet log;
    log.setData(runLog(common, run));
    const QString title = parser.isSet(QStringLiteral("title"))
                              ? parser.value(QStringLiteral("title"))
                              : QStringLiteral("%1 - integração %2").arg(definition.title).arg(run);
    const mrv::Report report(definition, &log, title);
    if (!pdf.isEmpty())
        report.savePdf(pdf);
    else
        report.saveCsv(csv);
    if (!common.json)
        printOut(QStringLiteral("Relatório da integração %1 (%2 linhas) em %3.\n")
                     .arg(run)
                     .arg(log.RecordCount())
                     .arg(pdf.isEmpty() ? csv : pdf));
    return kExitOk;
}

} // namespace

QString usage()
{
    return QStringLiteral(
        "uso: suite-cli [--server HOST:PORTA | --server https://HOST:PORTA] [--ca-file ARQUIVO]\n"
        "               [--session-file ARQUIVO] [--reports DIR] [--json] COMANDO ...\n"
        "  login --user OPERADOR [--password-file ARQUIVO]  (ou SUITE_PASSWORD, ou a senha pedida no terminal;\n"
        "                                                  --password SENHA, visível em ps, ainda é aceita)\n"
        "  integrate --source FILIAL (--grouping AGRUP | --branches F,F) (--dishes CHAVE,CHAVE | --all)\n"
        "            [--trees P,L] [--kinds L,S] [--dry-run]\n"
        "            [--from DD/MM/AAAA --to DD/MM/AAAA [--services T|S,S] [--dish-types T|T,T]]\n"
        "            [--cycles T|C,C] [--service-patterns T|P,P] [--cycle-dish-types T|T,T]\n"
        "  history\n"
        "  log N\n"
        "  undo N [--yes]\n"
        "  report N (--pdf ARQUIVO | --csv ARQUIVO) [--title TÍTULO]\n"
        "saída: 0 feito, 1 feito com observações, 2 linha de comando errada, 3 recusado pelo serviço,\n"
        "       4 sem sessão ou servidor inacessível, 5 falha do servidor\n");
}

int runCommand(const Common& given, const QStringList& arguments)
{
    Common common = given;
    if (common.reportsDir.isEmpty())
        common.reportsDir = defaultReportsDir();
    const QString command = arguments.value(0);
    try {
        if (command == QLatin1String("login"))
            return login(common, arguments);
        if (command == QLatin1String("integrate"))
            return integrate(common, arguments);
        if (command == QLatin1String("history"))
            return history(common, arguments);
        if (command == QLatin1String("log"))
            return log(common, arguments);
        if (command == QLatin1String("undo"))
            return undo(common, arguments);
        if (command == QLatin1String("report"))
            return report(common, arguments);
        throw UsageError(command.isEmpty() ? QStringLiteral("falta o comando")
                                           : QStringLiteral("comando desconhecido: %1").arg(command));
    } catch (const UsageError& e) {
        printErr(QStringLiteral("suite-cli: %1\n%2").arg(e.message(), usage()));
        return kExitUsage;
    } catch (const mrv::ServiceRefusal& e) {
        printErr(QStringLiteral("suite-cli: %1\n").arg(e.message()));
        return kExitRefused;
    } catch (const mrv::ServerError& e) {
        printErr(QStringLiteral("suite-cli: %1\n").arg(e.message()));
        return e.status() == 0 || e.status() == 401 ? kExitNoServer
               : e.status() >= 500                  ? kExitServerFailure
                                                    : kExitRefused;
    } catch (const mrv::CaFileError& e) {
        printErr(QStringLiteral("suite-cli: %1\n").arg(e.message()));
        return kExitUsage; // a setting to correct: nothing was asked of the server
    } catch (const mrv::Exception& e) {
        printErr(QStringLiteral("suite-cli: %1\n").arg(e.message()));
        return kExitServerFailure;
    }
}

} // namespace suite::cli
