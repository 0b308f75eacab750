#include "store/failure_log.h"

#include "bizlib/log_text.h"
#include "bizlib/text.h"
#include "database/named_statement.h"

namespace zlv {

void InsereLogSincDlv(Services& services, const Dataset& order_row, const std::string& detail,
                      const std::string& diagnosis) {
  const std::string dslog = TextLeft(detail, kLogSincDlvDetailChars);
  const std::string dslogmsg = TextLeft(diagnosis, kLogSincDlvDiagnosisChars);
  NamedStatement insert(services.db, "acmInsLogSincDlv");
  insert.SetParam("P_CDFILIAL", order_row.Text("CDFILIAL"));
  insert.SetParam("P_CDLOJA", order_row.Text("CDLOJA"));
  insert.SetParam("P_NRVENDARESTAUX", order_row.Text("NRVENDAREST"));
  insert.SetParam("P_DTHRABERMESA", order_row.Field("DTHRABERMESA").AsDateTime());
  insert.SetParam("P_DSLOG", dslog);
  insert.SetParam("P_DSLOGMSG", dslogmsg);
  insert.SetParam("P_DSCONSUMIDOR", "");
  insert.Execute();
  services.log.GravaLog("getMsgValidaProd - " + LogText(dslogmsg));
  services.log.GravaLog("acmInsLogSincDlv");
}

void LimpaLogSincDlv(Database& db, const std::string& cdfilial, const std::string& cdloja,
                     const std::string& nrvendarestaux, DateTime dthrabermesa) {
  NamedStatement del(db, "acmDelLogSincDlv");
  del.SetParam("P_CDFILIAL", cdfilial);
  del.SetParam("P_CDLOJA", cdloja);
  del.SetParam("P_NRVENDARESTAUX", nrvendarestaux);
  del.SetParam("P_DTHRABERMESA", dthrabermesa);
  del.Execute();
}

}  // namespace zlv
