// Command line of suite-host.
#include "hostoptions.h"

#include <QCommandLineParser>

namespace suite::host {

namespace {

struct OptionSpec {
    const char* name;
    const char* valueName; // nullptr for a flag
    const char* help;
};

constexpr OptionSpec kOptions[] = {
    {"user", "OPERADOR", "Operador (com --password e --branch, entra sem o diálogo)."},
    {"password", "SENHA", "Senha do operador."},
    {"branch", "FILIAL", "Filial de trabalho."},
    {"server", "HOST:PORTA",
     "Servidor de aplicação: HOST:PORTA ou https://HOST:PORTA (padrão do suite.ini ou 127.0.0.1:8211)."},
    {"ca-file", "ARQUIVO",
     "Certificados (PEM) das autoridades aceitas para o servidor HTTPS, no lugar das do sistema."},
    {"database", "BANCO", "Arquivo SQLite ou postgresql://usuario@host:porta/banco."},
    {"branch-mode", nullptr, "Instalação de filial (modo filial)."},
    {"config", "ARQUIVO", "Arquivo de configuração (padrão: suite.ini)."},
    {"modules-dir", "DIR", "Diretório dos módulos (lib<modulo>.so)."},
    {"open", "MODULO", "Abre o módulo após o login, como o menu (repetível)."},
    {"dump-ui", "ARQUIVO", "Grava as janelas abertas em JSON e sai."},
    {"automate", "ROTEIRO", "Executa um roteiro JSON contra as janelas abertas e sai."},
    {"inspect", "SOCKET",
     "Atende, neste socket local, pedidos de inspeção das janelas (geometria na tela, mensagens exibidas)."},
    {"help", nullptr, "Mostra esta ajuda."},
};

void addOptions(QCommandLineParser& parser)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const auto& spec : kOptions) {
        QCommandLineOption option(QString::fromLatin1(spec.name), QString::fromUtf8(spec.help));
        if (spec.valueName)
            option.setValueName(QString::fromLatin1(spec.valueName));
        parser.addOption(option);
    }
}

std::optional<QString> valueOf(const QCommandLineParser& parser, const QString& name)
{
    if (!parser.isSet(name))
        return std::nullopt;
    return parser.value(name);
}

} // namespace

HostOptions HostOptions::parse(const QStringList& arguments)
{
    QCommandLineParser parser;
    addOptions(parser);
    HostOptions options;
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        options.error = unknown.isEmpty() ? QStringLiteral("Linha de comando inválida: %1").arg(parser.errorText())
                                          : QStringLiteral("Opção desconhecida: %1").arg(unknown.first());
        return options;
    }
    if (!parser.positionalArguments().isEmpty()) {
        options.error = QStringLiteral("Argumento inesperado: %1").arg(parser.positionalArguments().first());
        return options;
    }
    options.help = parser.isSet(QStringLiteral("help"));
    options.user = valueOf(parser, QStringLiteral("user"));
    options.password = valueOf(parser, QStringLiteral("password"));
    options.branch = valueOf(parser, QStringLiteral("branch"));
    options.database = valueOf(parser, QStringLiteral("database"));
    options.config = valueOf(parser, QStringLiteral("config"));
    options.modulesDir = valueOf(parser, QStringLiteral("modules-dir"));
    options.caFile = valueOf(parser, QStringLiteral("ca-file"));
    options.branchMode = parser.isSet(QStringLiteral("branch-mode"));
    options.openModules = parser.values(QStringLiteral("open"));
    options.dumpUiFile = parser.value(QStringLiteral("dump-ui"));
    options.automateScript = parser.value(QStringLiteral("automate"));
    options.inspectSocket = parser.value(QStringLiteral("inspect"));
    if (const auto server = valueOf(parser, QStringLiteral("server"))) {
        options.server = ServerAddress::parse(*server);
        if (!options.server)
            options.error =
                QStringLiteral("Servidor inválido: \"%1\" (use HOST:PORTA ou https://HOST:PORTA).").arg(*server);
    }
    for (const QString& module : std::as_const(options.openModules)) {
        if (module.isEmpty() || module.contains(u'/'))
            options.error = QStringLiteral("Nome de módulo inválido: \"%1\".").arg(module);
    }
    if (!options.dumpUiFile.isEmpty() && !options.automateScript.isEmpty())
        options.error = QStringLiteral("Use --dump-ui ou --automate, não os dois.");
    return options;
}

QString HostOptions::usage()
{
    QCommandLineParser parser;
    addOptions(parser);
    parser.setApplicationDescription(QStringLiteral("Suíte: aplicação principal (login, janelas, módulos)."));
    return parser.helpText();
}

} // namespace suite::host
