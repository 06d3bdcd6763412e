// Base report screen: the definition look-up and the outputs of the one document.
#include "kittesthost.h"

#include "dadosgerrel.h"
#include "errors.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QtTest>

using namespace mrv;

class tst_DadosGerRel : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_scripted = kittest::installScripted();
        m_host.errors.clear();
        QVERIFY(m_dir.isValid());
        m_host.reports = m_dir.path();
        m_ds.setData(kittest::branchPacket({{"0001", "Matriz; São Paulo"}, {"0002", "Filial \"Campinas\""}}));
        m_src.setDataSet(&m_ds);
    }

    void missingDefinition();
    void previewShowsTheRows();
    void csvAndPdf();
    void csvRowsCarryTheirGroup();
    void savedUnderTheFormatsExtension_data();
    void savedUnderTheFormatsExtension();

private:
    void writeDefinition(const QByteArray& json)
    {
        QFile f(m_dir.filePath("RCI060.json"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(json);
    }

    kittest::RecordingHost m_host;
    ScriptedDialogs* m_scripted = nullptr;
    QTemporaryDir m_dir;
    TClientDataSet m_ds;
    TDataSource m_src;
};

void tst_DadosGerRel::missingDefinition()
{
    TfrmDadosGerRel report;
    report.setReportCode("RCI060");
    report.setReportSource(&m_src);
    report.sbtVisualizar->click();
    QCOMPARE(m_host.errors,
             QStringList{QString("O arquivo contendo a definição do relatório de código 'RCI060' não foi encontrado "
                                 "no diretório '%1'.")
                             .arg(QDir(m_dir.path()).absolutePath())});
    // A screen's own catalogue line wins over the base's text.
    report.msgPadrao->setLines({"Arq_Rel_Err|Relatório %s ausente em %s."});
    m_host.errors.clear();
    report.sbtVisualizar->click();
    QCOMPARE(m_host.errors,
             QStringList{QString("Relatório RCI060 ausente em %1.").arg(QDir(m_dir.path()).absolutePath())});
}

void tst_DadosGerRel::previewShowsTheRows()
{
    writeDefinition(R"({"title": "Log de Integração", "orientation": "landscape",
        "columns": [{"field": "CDFILIAL", "title": "Filial", "width": 6},
                    {"field": "NMFILIAL", "title": "Nome", "width": 30},
                    {"field": "NAOEXISTE", "title": "Some", "width": 5}]})");
    TfrmDadosGerRel report;
    report.setWindowTitle("Log");
    report.setReportCode("RCI060");
    report.setReportSource(&m_src);
    report.sbtVisualizar->click();
    QVERIFY2(m_host.errors.isEmpty(), qPrintable(m_host.errors.join('\n')));
    const ScriptedDialogs::Shown& shown = m_scripted->shown().last();
    QCOMPARE(shown.kind, QString("preview"));
    for (const char* text : {"Log de Integração", "Filial", "Nome", "0001", "Matriz; São Paulo", "Filial \"Campinas\""})
        QVERIFY2(shown.text.contains(QString::fromUtf8(text)), text);
    QVERIFY(!shown.text.contains("Some"));

    m_scripted->queueInputText(QString("Integração de março"));
    report.sbtTitulo->click();
    report.sbtVisualizar->click();
    QVERIFY(m_scripted->shown().last().text.contains("Integração de março"));
}

void tst_DadosGerRel::csvAndPdf()
{
    writeDefinition(R"({"title": "Filiais", "columns": [{"field": "CDFILIAL", "title": "Filial"},
        {"field": "NMFILIAL", "title": "Nome"}]})");
    TfrmDadosGerRel report;
    report.setReportCode("RCI060");
    report.setReportSource(&m_src);

    const QString csv = m_dir.filePath("out.csv");
    report.saveCsv(csv);
    QFile f(csv);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString content = QString::fromUtf8(f.readAll());
    QCOMPARE(content,
             QString("\uFEFFFilial;Nome\r\n0001;\"Matriz; São Paulo\"\r\n0002;\"Filial \"\"Campinas\"\"\"\r\n"));

    const QString pdf = m_dir.filePath("out.pdf");
    m_scripted->queueInputText(QString("Filiais de março"));
    m_scripted->queueSavePath(pdf);
    report.actSalvarPDF->trigger();
    QVERIFY2(m_host.errors.isEmpty(), qPrintable(m_host.errors.join('\n')));
    QFile p(pdf);
    QVERIFY(p.open(QIODevice::ReadOnly));
    QVERIFY(p.read(5) == "%PDF-");
    const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
    if (pdftotext.isEmpty())
        QSKIP("pdftotext is not installed; the PDF's text was not read back");
    QProcess read;
    read.start(pdftotext, {pdf, "-"});
    QVERIFY(read.waitForFinished(30000));
    const QString text = QString::fromUtf8(read.readAllStandardOutput());
    QVERIFY2(text.contains("Matriz; São Paulo") && text.contains("0002") && text.contains("Filiais de março"),
             qPrintable(text));
}

void tst_DadosGerRel::csvRowsCarryTheirGroup()
{
    // The PDF puts the rows of a destination under its heading; the CSV has no headings, so every
    // row names its group itself.
    writeDefinition(R"({"title": "Log", "groupBy": "CDFILIAL",
        "groupTitle": [{"field": "CDFILIAL", "title": "Filial destino"},
                       {"field": "NMFILIAL", "title": "Nome da filial destino"}],
        "columns": [{"field": "IDMARCADO", "title": "Observação", "values": {"1": "Prato não cadastrado"}}]})");
    m_ds.setData(kittest::branchPacket(
        {{"1", "0007", "Filial Curitiba"}, {"2", "0007", "Filial Curitiba"}, {"1", "0009", "Filial; Porto Alegre"}},
        true));
    TfrmDadosGerRel report;
    report.setReportCode("RCI060");
    report.setReportSource(&m_src);

    const QString csv = m_dir.filePath("grouped.csv");
    report.saveCsv(csv);
    QFile f(csv);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(f.readAll()), QString("\uFEFFFilial destino;Nome da filial destino;Observação\r\n"
                                                     "0007;Filial Curitiba;Prato não cadastrado\r\n"
                                                     "0007;Filial Curitiba;2\r\n"
                                                     "0009;\"Filial; Porto Alegre\";Prato não cadastrado\r\n"));
    // The printed report keeps its headings, one per destination.
    report.sbtVisualizar->click();
    const QString shown = m_scripted->shown().last().text;
    QCOMPARE(shown.count("0007 - Filial Curitiba"), 1);
    QCOMPARE(shown.count("0009 - Filial; Porto Alegre"), 1);
}

void tst_DadosGerRel::savedUnderTheFormatsExtension_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("saved");
    QTest::newRow("CSV, name only") << "csv"
                                    << "log"
                                    << "log.csv";
    QTest::newRow("CSV, extension typed") << "csv"
                                          << "log.csv"
                                          << "log.csv";
    QTest::newRow("PDF, name only") << "pdf"
                                    << "log"
                                    << "log.pdf";
    QTest::newRow("PDF, another extension kept") << "pdf"
                                                 << "log.bak"
                                                 << "log.bak";
}

void tst_DadosGerRel::savedUnderTheFormatsExtension()
{
    QFETCH(QString, format);
    QFETCH(QString, typed);
    QFETCH(QString, saved);
    writeDefinition(R"({"title": "Filiais", "columns": [{"field": "CDFILIAL", "title": "Filial"}]})");
    TfrmDadosGerRel report;
    report.setReportCode("RCI060");
    report.setReportSource(&m_src);
    QTemporaryDir out;
    m_scripted->queueSavePath(out.filePath(typed));
    if (format == "pdf") {
        m_scripted->queueInputText(QString("Filiais"));
        report.actSalvarPDF->trigger();
    } else {
        report.actSalvarCSV->trigger();
    }
    QVERIFY2(m_host.errors.isEmpty(), qPrintable(m_host.errors.join('\n')));
    QCOMPARE(QDir(out.path()).entryList(QDir::Files), QStringList{saved});
}

QTEST_MAIN(tst_DadosGerRel)
#include "tst_dadosgerrel.moc"
