// SQLite pieces shared by several statements of the catalogue, written in plain SQLite (no
// registered functions) so that the texts also run through the SQLite ODBC driver.
#include <string>

#include "storedb/catalogue_defs.h"

namespace zlv::catalogue {

// SQL Server compares the sale's opening time with the text of the day, which it reads back as
// that day's midnight; the ISO text of the day orders the same way against ISO date-times.
const std::string_view kSqliteJanelaSinc = R"sql(
         (VR.DTHRABERMESA >= date('now', 'localtime', -IFNULL(LJ.IDSINCQUANTDIA, 1) || ' days')
          OR (VR.DTHRABERMESA < date('now', 'localtime', -IFNULL(LJ.IDSINCQUANTDIA, 1) || ' days')
              AND CV.IDSTCOMANDA IN ('X', '5', '4'))))sql";

const std::string_view kSqliteChaveObsVen =
    "OB.CDFILIAL, OB.NRVENDAREST, OB.NRCOMANDA, OB.NRPRODCOMVEN, OB.CDGRPOCOR, OB.CDOCORR";
const std::string_view kSqliteChaveObsEst =
    "OB.CDFILIAL, OB.NRVENDAREST, OB.NRCOMANDA, OB.NRPRODCOMVEN, OB.CDPRODUTO, OB.CDGRPOCOR, "
    "OB.CDOCORR";

std::string SqliteListaObs(std::string_view table, std::string_view filter, std::string_view order,
                           std::string_view sales) {
  const std::string observations = "FROM " + std::string(table) +
                                   " OB, OCORRENCIA OC\n"
                                   "                  WHERE OC.CDGRPOCOR = OB.CDGRPOCOR"
                                   " AND OC.CDOCORR = OB.CDOCORR" +
                                   std::string(filter);
  // REPLICATE(N' ' + DSOCORR + ';', ISNULL(QTPRODCOMVENOBS, 1)): NULL for a negative count,
  // the count truncated, the result cut to the 4000 characters of a non-max national text.
  // FOR XML PATH('') joins the pieces, and yields NULL when they are all empty.
  std::string text = R"sql((SELECT a.CDFILIAL, a.NRVENDAREST, a.NRPRODCOMVEN,
                (SELECT NULLIF(group_concat(x.PECA, ''), '')
                   FROM (SELECT CASE WHEN IFNULL(OB.QTPRODCOMVENOBS, 1) < 0 THEN NULL
                                ELSE substr(replace(hex(zeroblob(min(IFNULL(OB.QTPRODCOMVENOBS, 1),
                                                                     4000))),
                                                    '00', ' ' || OC.DSOCORR || ';'), 1, 4000)
                                END AS PECA
                  )sql";
  text += observations;
  text += R"sql(
                    AND OB.NRVENDAREST = a.NRVENDAREST AND OB.NRPRODCOMVEN = a.NRPRODCOMVEN
                  ORDER BY )sql";
  text += order;
  text += R"sql() AS x) AS list
           FROM (SELECT OB.CDFILIAL, OB.NRVENDAREST, OB.NRPRODCOMVEN
                  )sql";
  text += observations;
  // Only the items of the statement's own sales are ever joined to the list; restricting the
  // groups to them keeps the statement from aggregating the whole observation history.
  text += R"sql(
                    AND OB.NRVENDAREST IN ()sql";
  text += sales;
  text += R"sql()) AS a
          GROUP BY a.CDFILIAL, a.NRVENDAREST, a.NRPRODCOMVEN))sql";
  return text;
}

std::string SqliteDataHora(std::string_view param) {
  const std::string p(param);
  return "CASE WHEN " + p + " GLOB '[0-9][0-9]/[0-9][0-9]/[0-9][0-9][0-9][0-9]'\n" +
         "             THEN substr(" + p + ", 7, 4) || '-' || substr(" + p + ", 4, 2) || '-' || " +
         "substr(" + p + ", 1, 2) || ' 00:00:00'\n" + "             WHEN " + p + " GLOB " +
         "'[0-9][0-9]/[0-9][0-9]/[0-9][0-9][0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9]'\n" +
         "             THEN substr(" + p + ", 7, 4) || '-' || substr(" + p + ", 4, 2) || '-' || " +
         "substr(" + p + ", 1, 2) || substr(" + p + ", 11)\n" + "             WHEN " + p +
         " = '' THEN '1900-01-01 00:00:00' ELSE " + p + " END";
}

}  // namespace zlv::catalogue
