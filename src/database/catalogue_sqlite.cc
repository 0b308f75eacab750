// SQLite pieces shared by several statements of the catalogue, written in plain SQLite (no
// registered functions) so that the texts also run through the SQLite ODBC driver.
#include <string>

#include "database/catalogue_defs.h"

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

namespace {

std::string Observations(std::string_view table, std::string_view filter) {
  return "FROM " + std::string(table) +
         " OB, OCORRENCIA OC\n"
         "                  WHERE OC.CDGRPOCOR = OB.CDGRPOCOR"
         " AND OC.CDOCORR = OB.CDOCORR" +
         std::string(filter);
}

// The joined pieces of the observations of the item named by alias (its sale and item
// number; the branch is not compared, as in the SQL Server text).
// REPLICATE(N' ' + DSOCORR + ';', ISNULL(QTPRODCOMVENOBS, 1)): NULL for a negative count,
// the count truncated, the result cut to the 4000 characters of a non-max national text.
// FOR XML PATH('') joins the pieces, and yields NULL when they are all empty.
std::string JoinedPieces(const std::string& observations, std::string_view order,
                         std::string_view alias) {
  const std::string a(alias);
  std::string text = R"sql((SELECT NULLIF(group_concat(x.PECA, ''), '')
                   FROM (SELECT CASE WHEN IFNULL(OB.QTPRODCOMVENOBS, 1) < 0 THEN NULL
                                ELSE substr(replace(hex(zeroblob(min(IFNULL(OB.QTPRODCOMVENOBS, 1),
                                                                     4000))),
                                                    '00', ' ' || OC.DSOCORR || ';'), 1, 4000)
                                END AS PECA
                  )sql";
  text += observations;
  text += "\n                    AND OB.NRVENDAREST = " + a +
          ".NRVENDAREST AND OB.NRPRODCOMVEN = " + a + ".NRPRODCOMVEN\n                  ORDER BY ";
  text += order;
  text += ") AS x)";
  return text;
}

}  // namespace

std::string SqliteListaObsDoItem(std::string_view table, std::string_view order,
                                 std::string_view item) {
  const std::string it(item);
  const std::string observations = Observations(table, "");
  return "CASE WHEN EXISTS (SELECT 1 " + observations +
         "\n                    AND OB.CDFILIAL = " + it + ".CDFILIAL AND OB.NRVENDAREST = " + it +
         ".NRVENDAREST AND OB.NRPRODCOMVEN = " + it + ".NRPRODCOMVEN)\n             THEN " +
         JoinedPieces(observations, order, item) + " END";
}

std::string SqliteListaObs(std::string_view table, std::string_view filter, std::string_view order,
                           std::string_view sales) {
  const std::string observations = Observations(table, filter);
  std::string text = "(SELECT a.CDFILIAL, a.NRVENDAREST, a.NRPRODCOMVEN,\n                ";
  text += JoinedPieces(observations, order, "a");
  text += R"sql( AS list
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
