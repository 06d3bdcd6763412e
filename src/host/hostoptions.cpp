// Command line of suite-host.
#include "hostoptions.h"

#include <passwordfile.h>

#include <QCommandLineParser>
#include <cstdio>

namespace suite::host {

namespace {

struct OptionSpec {
    const char* name;
    const char* valueName; // nullptr for a flag
    const char* help;
};

constexpr OptionSpec kOptions[] = {
    {"user", "OPERADOR", "Operador (com a senha e --branch, entra sem o diálogo)."},
    {"password-file", "ARQUIVO", "Senha do operador: a primeira linha do arquivo (ou SUITE_PASSWORD)."},
    {"password", "SENHA", "Senha do operador na linha de comando (visível a todos no ps; prefira --password-file)."},
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

// From a file, the environment or, for older scripts, the command line, which every user of the machine sees.
std::optional<QString> passwordOf(const QCommandLineParser& parser, QString& error)
{
    const bool onCommandLine = parser.isSet(QStringLiteral("password"));
    if (parser.isSet(QStringLiteral("password-file"))) {
        if (onCommandLine) {
            error = QStringLiteral("Use --password ou --password-file, não os dois.");
            return std::nullopt;
        }
        const std::optional<QString> password =
            mrv::passwordFromFile(parser.value(QStringLiteral("password-file")), error);
        if (!password)
            error[0] = error[0].toUpper();
        return password;
    }
    if (onCommandLine) {
        std::fprintf(stderr, "suite-host: aviso: --password fica visível a todos os usuários da máquina (ps); use "
                             "--password-file ou SUITE_PASSWORD\n");
        return parser.value(QStringLiteral("password"));
    }
    if (const QString env = qEnvironmentVariable("SUITE_PASSWORD"); !env.isEmpty())
        return env;
    return std::nullopt;
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
    options.password = passwordOf(parser, options.error);
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
