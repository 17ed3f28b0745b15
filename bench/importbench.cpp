// Customer import benchmark driver: generates LINES customer lines (every
// hundredth one bad: no user name) into a file, imports it through the
// import run on the database ENDPOINT as "admin" / "admin", and prints
//   <lines> <seconds> <rejected> <inserted>
// Usage: v2importbench ENDPOINT FOLDER [LINES]

#include "anagrafica.h"
#include "importazione.h"
#include "serviceaccess.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: v2importbench ENDPOINT FOLDER [LINES]\n");
        return 2;
    }
    const int linee = argc > 3 ? std::atoi(argv[3]) : 10000;
    setServiceAccess({ argv[1], "admin", "admin", true });

    const QString percorso = QDir(QString::fromLocal8Bit(argv[2])).filePath("clienti.csv");
    QFile file(percorso);
    if (!file.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(percorso));
        return 2;
    }
    QTextStream out(&file);
    out.setCodec("UTF-8");
    out << "codice;nome;cognome;ragione;piva;cf;indirizzo;cap;citta;prov;tel;cell;fax;email;"
           "username;password;x\n";
    for (int i = 1; i <= linee; ++i) {
        const QString n = QString::number(i);
        const QString username = i % 100 == 0 ? QString() : QStringLiteral("cliente") + n;
        out << n << ";Nome" << n << ";\"D'Angelo\";Ditta " << n << ";IT" << n << ";CF" << n
            << ";Via Roma " << n << ";00100;Roma;RM;06" << n << ";333" << n << ";;c" << n
            << "@esempio.it;" << username << ";pw" << n << ";\n";
    }
    out.flush();
    file.close();

    QFile leggi(percorso);
    leggi.open(QIODevice::ReadOnly);
    const QStringList righe = importazione::righe(importazione::decodifica(leggi.readAll()));
    int fallite = 0;
    importazione::Importazione run({ QStringLiteral(";"), true, true },
        { [](const QString &) {},
            [&](const QString &m) {
                ++fallite;
                std::fprintf(stderr, "error: %s\n", qPrintable(m));
            },
            [](int, int) {} });
    QElapsedTimer timer;
    timer.start();
    const importazione::Importazione::Esito esito = run.esegui(righe, [] { return false; });
    const double secondi = timer.nsecsElapsed() / 1e9;
    std::printf("%d %.3f %d %d\n", linee, secondi, esito.ignorati + esito.errori, esito.nuovi);
    return fallite == 0 ? 0 : 1;
}
