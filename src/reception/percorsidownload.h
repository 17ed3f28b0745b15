#pragma once

// Where a downloaded file lands: the department and order folders, the
// customer folder, the print sub-folders and the file names, built from the
// lab's expressions. No widgets; creates folders on disk where needed.

#include <QString>

#include <cstdint>

class Ordine;
class OrdineRiga;

// The server-side expressions that shape folders and names, copied from the
// settings so that a worker thread never reads the program-wide values.
struct ImpostazioniPercorsi {
    QString ordineRigaFileDownloadPath;
    QString pathAntepost;
    QString pathAccoda;
    QString stampaFotograficaPathExpression;
    QString stampaFotograficaFileNameExpression;
};

// The values of one order line that the expressions can use.
struct DatiRigaPercorso {
    int numeroOrdine = 0;
    int64_t dataOrdine = 0; // seconds since 1970
    QString codiceCliente;
    QString intestatario;
    QString username;
    QString formato; // print lines only
    QString carta; // print lines only
    int quantita = 0;
    QString idFile;
    QString nomeFileSorgente;
    QString nomeFileLocale; // set by an earlier, interrupted attempt
    QString repartoPercorso;
    QString repartoNome;
    QString repartoTipo;

    static DatiRigaPercorso da(const Ordine &ordine, const OrdineRiga &riga);
};

class PercorsiDownload
{
public:
    enum class Espressione { Antepost, Accoda, PercorsoStampa, NomeFileStampa };

    static const char *const NomeFileDefault; // "<numerofile>(<qta>)"
    static const char *const TipoDirectory; // "directory"
    static const char *const TipoNoritsu; // "canale_noritsu"

    explicit PercorsiDownload(ImpostazioniPercorsi impostazioni);

    const ImpostazioniPercorsi &impostazioni() const { return imp; }

    // Replaces the tags the expression kind knows; others stay as written.
    static QString espandi(const QString &espressione, Espressione tipo,
        const DatiRigaPercorso &dati, int numeroStampa = 0);
    // Keeps ASCII letters, digits, '-' and blanks only.
    static QString pulisciCartella(const QString &testo);
    // A customer's file name reduced to one harmless component: the last
    // path part, without control or reserved characters; a name left empty,
    // "." or ".." becomes the file id.
    static QString nomeFileSicuro(const QString &nomeSorgente, const QString &idFile);

    // "000123_2013" plus the expanded PATH_ACCODA.
    QString nomeCartellaOrdine(const DatiRigaPercorso &dati) const;
    // The customer folder from PATH_ANTEPOST, or empty when off.
    QString cartellaCliente(const DatiRigaPercorso &dati) const;

    // Folder of a file line, ending in "/", created if missing. Empty when
    // the base folder is not configured (nothing may land at a drive root).
    QString cartellaRigaFile(const DatiRigaPercorso &dati) const;
    // The name a file line gets inside its folder: the recorded one, else
    // the cleaned source name made unique with "_k".
    static QString nomeFileLocaleRigaFile(const QString &cartella, const DatiRigaPercorso &dati);

    // Order folder of a print line, ending in "/" (not created).
    QString cartellaOrdineStampa(const DatiRigaPercorso &dati) const;
    // Sub-folder inside it, empty or ending in "/".
    QString sottoCartellaStampa(const DatiRigaPercorso &dati) const;
    // Full path of a print line's image; its folders are created. Empty when
    // the department has no folder.
    QString percorsoRigaStampa(const DatiRigaPercorso &dati, int numeroStampa) const;

private:
    ImpostazioniPercorsi imp;
};
