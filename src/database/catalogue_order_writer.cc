// Statements the order writer runs for an order's sale and order tabs.
#include "database/catalogue_defs.h"

namespace zlv::catalogue {

std::vector<StatementDef> OrderWriterStatements() {
  return {
      // The writers ask by the opening day, as "DD/MM/YYYY" text before writing an order and as
      // a date-time after it; SQLite compares the day in both cases, where the server would
      // match a date-time against the day's midnight only.
      Query("adqVendaRestDuplicada",
            {TextParam("P_NRVENDARESTAUX"), DateTimeParam("P_DTHRABERMESA"),
             TextParam("P_CDFILIAL"), TextParam("P_CDLOJA")},
            Decimals::AsStored,
            R"sql(
      SELECT * FROM VENDAREST WHERE NRVENDARESTAUX = :P_NRVENDARESTAUX AND
      CONVERT(VARCHAR,DTHRABERMESA,103) = :P_DTHRABERMESA AND CDFILIAL = :P_CDFILIAL AND CDLOJA =
      :P_CDLOJA ORDER BY NRVENDAREST DESC)sql",
            R"sql(
      SELECT * FROM VENDAREST
       WHERE NRVENDARESTAUX = :P_NRVENDARESTAUX
         AND date(DTHRABERMESA) =
             CASE WHEN :P_DTHRABERMESA GLOB '[0-9][0-9]/[0-9][0-9]/[0-9][0-9][0-9][0-9]*'
                  THEN substr(:P_DTHRABERMESA, 7, 4) || '-' || substr(:P_DTHRABERMESA, 4, 2) || '-' ||
                       substr(:P_DTHRABERMESA, 1, 2)
                  ELSE date(:P_DTHRABERMESA) END
         AND CDFILIAL = :P_CDFILIAL AND CDLOJA = :P_CDLOJA
       ORDER BY NRVENDAREST DESC)sql"),
      // DTHRFECHMESA (and DTENTREGA below) come as the writers' regional text, which SQL Server
      // converts by itself.
      Command("acmVendaRest",
              {TextParam("P_CDFILIAL"), TextParam("P_NRVENDAREST"), TextParam("P_NRMESA"),
               TextParam("P_CDVENDEDOR"), TextParam("P_NRPESMESAVEN"), TextParam("P_DTHRABERMESA"),
               TextParam("P_DTHRFECHMESA"), TextParam("P_CDOPERADOR"), TextParam("P_CDLOJA"),
               TextParam("P_CDCLIENTE"), TextParam("P_CDCONSUMIDOR"), TextParam("P_NRCERVENDAREST"),
               TextParam("P_NRCOOVENDAREST"), TextParam("P_NRVENDARESTAUX"),
               TextParam("P_CDOPERULTATU"), TextParam("P_CDNSUESITEF"),
               TextParam("P_IDSTATUSESITEF"), TextParam("P_NRMESAEATTAKE")},
              R"sql(
      INSERT INTO VENDAREST (CDFILIAL, NRVENDAREST, NRMESA, CDVENDEDOR, NRPESMESAVEN, DTHRABERMESA,
      DTHRFECHMESA, CDOPERADOR, CDLOJA, CDCLIENTE, CDCONSUMIDOR, NRCERVENDAREST, NRCOOVENDAREST,
      NRVENDARESTAUX,CDOPERULTATU,CDNSUESITEF,IDSTATUSESITEF, NRMESAEATTAKE) VALUES (:P_CDFILIAL,
      :P_NRVENDAREST, :P_NRMESA, :P_CDVENDEDOR, :P_NRPESMESAVEN, :P_DTHRABERMESA, :P_DTHRFECHMESA,
      :P_CDOPERADOR, :P_CDLOJA, :P_CDCLIENTE, :P_CDCONSUMIDOR, :P_NRCERVENDAREST, :P_NRCOOVENDAREST,
      :P_NRVENDARESTAUX,:P_CDOPERULTATU,:P_CDNSUESITEF,:P_IDSTATUSESITEF, :P_NRMESAEATTAKE))sql",
              Compose({R"sql(
      INSERT INTO VENDAREST (CDFILIAL, NRVENDAREST, NRMESA, CDVENDEDOR, NRPESMESAVEN, DTHRABERMESA,
                             DTHRFECHMESA, CDOPERADOR, CDLOJA, CDCLIENTE, CDCONSUMIDOR, NRCERVENDAREST,
                             NRCOOVENDAREST, NRVENDARESTAUX, CDOPERULTATU, CDNSUESITEF, IDSTATUSESITEF,
                             NRMESAEATTAKE)
      VALUES (:P_CDFILIAL, :P_NRVENDAREST, :P_NRMESA, :P_CDVENDEDOR, :P_NRPESMESAVEN, :P_DTHRABERMESA,
              )sql",
                       SqliteDataHora(":P_DTHRFECHMESA"),
                       R"sql(,
              :P_CDOPERADOR, :P_CDLOJA, :P_CDCLIENTE, :P_CDCONSUMIDOR, :P_NRCERVENDAREST, :P_NRCOOVENDAREST,
              :P_NRVENDARESTAUX, :P_CDOPERULTATU, :P_CDNSUESITEF, :P_IDSTATUSESITEF, :P_NRMESAEATTAKE))sql"})),
      PortableQuery("adqVerifNrComanda", {TextParam("P_CDFILIAL"), TextParam("P_NRCOMANDA")},
                    Decimals::AsStored,
                    R"sql(
      SELECT NRCOMANDA FROM COMANDAVEN WHERE CDFILIAL = :P_CDFILIAL AND NRCOMANDA = :P_NRCOMANDA)sql"),
      Command("acmInsComandaVen", {TextParam("P_CDFILIAL"),
                                   TextParam("P_NRVENDAREST"),
                                   TextParam("P_NRCOMANDA"),
                                   TextParam("P_DSCOMANDA", 50),
                                   TextParam("P_IDSTCOMANDA"),
                                   FloatParam("P_VRDESCOMANDA", 8),
                                   TextParam("P_NRMESAJUNCAO"),
                                   TextParam("P_CDGRPOCOR"),
                                   TextParam("P_CDOCORR"),
                                   FloatParam("P_VRCOMISVENDE"),
                                   TextParam("P_CDLOJA"),
                                   TextParam("P_TXMOTIVCANCE"),
                                   FloatParam("P_VRCONSUMAMIN"),
                                   TextParam("P_SGSEXOCON"),
                                   FloatParam("P_VRACRCOMANDA", 8),
                                   TextParam("P_DSCOMANDAPRI"),
                                   TextParam("P_CDPAIS"),
                                   TextParam("P_SGESTADO"),
                                   TextParam("P_CDMUNICIPIO"),
                                   TextParam("P_CDBAIRRO"),
                                   TextParam("P_DSENDECONSCOMAN"),
                                   TextParam("P_DSCOMPLENDCOCOM"),
                                   TextParam("P_NRCEPCONSCOMAND"),
                                   TextParam("P_DSREFENDCONSCOM"),
                                   TextParam("P_IDUTILTXSERV"),
                                   TextParam("P_IDUTILCONSUMA"),
                                   TextParam("P_IDUTILCOUVERT"),
                                   TextParam("P_DTENTREGA"),
                                   TextParam("P_IDORGCMDVENDA"),
                                   TextParam("P_DSBAIRRO"),
                                   TextParam("P_IDRETBALLOJA"),
                                   TextParam("P_CDCAMPANHA"),
                                   FloatParam("P_VRPONTOBRINDE"),
                                   FloatParam("P_VRDESCFIDELIDAD"),
                                   TextParam("P_NRCOMANDAEXT"),
                                   TextParam("P_DSOBSCOMANDA"),
                                   TextParam("P_DTHRAGENDADA"),
                                   TextParam("P_IDIMPCUPEXP"),
                                   TextParam("P_DSCUPOMPROMO"),
                                   TextParam("P_DSCONSUMIDOR"),
                                   TextParam("P_NRENDECONSCOMAN"),
                                   TextParam("P_NRLATPEDIDO"),
                                   TextParam("P_NRLONGPEDIDO"),
                                   TextParam("P_DSAREAATEND", 500),
                                   FloatParam("P_VRDESCFID"),
                                   TextParam("P_IDSUBPROJETO"),
                                   TextParam("P_NRCPFFID4ALL"),
                                   TextParam("P_CDPROMOFID4ALL"),
                                   FloatParam("P_VRDESCCASH4ALL"),
                                   FloatParam("P_VRDESCPROMO4ALL"),
                                   TextParam("P_NRREQEXTCMD"),
                                   TextParam("P_NRCPFFIDUDS"),
                                   FloatParam("P_VRDESCCASHUDS"),
                                   TextParam("P_NRCONTATOCON"),
                                   TextParam("P_DSEMAILENVCUPOM"),
                                   TextParam("P_IDSITENVCUPOM"),
                                   TextParam("P_DSPREVENTREGA", 50),
                                   TextParam("P_IDREQVALPRE"),
                                   TextParam("P_NRCARVALPRE"),
                                   TextParam("P_IDREQCOREBANC"),
                                   TextParam("P_IDCARTCOREBANC"),
                                   TextParam("P_NRCPFCOREBANC"),
                                   FloatParam("P_VRRESGCOREBANC"),
                                   TextParam("P_NRCPFINTEPROMO"),
                                   TextParam("P_IDPEDINTEPROMO")},
              R"sql(
      INSERT INTO COMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA, DSCOMANDA, IDSTCOMANDA,
      VRDESCOMANDA, NRMESAJUNCAO, CDGRPOCOR, CDOCORR, VRCOMISVENDE, CDLOJA, TXMOTIVCANCE,
      VRCONSUMAMIN, SGSEXOCON, VRACRCOMANDA, DSCOMANDAPRI, CDPAIS, SGESTADO, CDMUNICIPIO, CDBAIRRO,
      DSENDECONSCOMAN, DSCOMPLENDCOCOM, NRCEPCONSCOMAND, DSREFENDCONSCOM, IDUTILTXSERV,
      IDUTILCONSUMA, IDUTILCOUVERT, DTENTREGA, IDORGCMDVENDA, DSBAIRRO,IDRETBALLOJA, CDCAMPANHA,
      VRPONTOBRINDE, VRDESCFIDELIDAD, NRCOMANDAEXT,
      DSOBSCOMANDA,DTHRAGENDADA,IDIMPCUPEXP,DSCUPOMPROMO,DSCONSUMIDOR,NRENDECONSCOMAN, NRLATPEDIDO,
      NRLONGPEDIDO, DSAREAATEND, VRDESCFID, IDSUBPROJETO, NRCPFFID4ALL, CDPROMOFID4ALL,
      VRDESCCASH4ALL, VRDESCPROMO4ALL, NRREQEXTCMD, NRCPFFIDUDS, VRDESCCASHUDS, NRCONTATOCON,
      DSEMAILENVCUPOM, IDSITENVCUPOM, DSPREVENTREGA, IDREQVALPRE, NRCARVALPRE, IDREQCOREBANC,
      IDCARTCOREBANC, NRCPFCOREBANC, VRRESGCOREBANC, NRCPFINTEPROMO, IDPEDINTEPROMO) VALUES
      (:P_CDFILIAL, :P_NRVENDAREST, :P_NRCOMANDA, :P_DSCOMANDA, :P_IDSTCOMANDA, :P_VRDESCOMANDA,
      :P_NRMESAJUNCAO, :P_CDGRPOCOR, :P_CDOCORR, :P_VRCOMISVENDE, :P_CDLOJA, :P_TXMOTIVCANCE,
      :P_VRCONSUMAMIN, :P_SGSEXOCON, :P_VRACRCOMANDA, :P_DSCOMANDAPRI, :P_CDPAIS, :P_SGESTADO,
      :P_CDMUNICIPIO, :P_CDBAIRRO, :P_DSENDECONSCOMAN, :P_DSCOMPLENDCOCOM, :P_NRCEPCONSCOMAND,
      :P_DSREFENDCONSCOM, :P_IDUTILTXSERV, :P_IDUTILCONSUMA, :P_IDUTILCOUVERT, :P_DTENTREGA,
      :P_IDORGCMDVENDA, :P_DSBAIRRO, :P_IDRETBALLOJA, :P_CDCAMPANHA, :P_VRPONTOBRINDE,
      :P_VRDESCFIDELIDAD, :P_NRCOMANDAEXT, :P_DSOBSCOMANDA,
      :P_DTHRAGENDADA,:P_IDIMPCUPEXP,:P_DSCUPOMPROMO,:P_DSCONSUMIDOR,:P_NRENDECONSCOMAN,
      :P_NRLATPEDIDO, :P_NRLONGPEDIDO, :P_DSAREAATEND, :P_VRDESCFID, :P_IDSUBPROJETO,
      :P_NRCPFFID4ALL, :P_CDPROMOFID4ALL, :P_VRDESCCASH4ALL, :P_VRDESCPROMO4ALL, :P_NRREQEXTCMD,
      :P_NRCPFFIDUDS, :P_VRDESCCASHUDS, :P_NRCONTATOCON, :P_DSEMAILENVCUPOM, :P_IDSITENVCUPOM,
      :P_DSPREVENTREGA, :P_IDREQVALPRE, :P_NRCARVALPRE, :P_IDREQCOREBANC, :P_IDCARTCOREBANC,
      :P_NRCPFCOREBANC, :P_VRRESGCOREBANC, :P_NRCPFINTEPROMO, :P_IDPEDINTEPROMO))sql",
              Compose({R"sql(
      INSERT INTO COMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA, DSCOMANDA, IDSTCOMANDA, VRDESCOMANDA,
                             NRMESAJUNCAO, CDGRPOCOR, CDOCORR, VRCOMISVENDE, CDLOJA, TXMOTIVCANCE,
                             VRCONSUMAMIN, SGSEXOCON, VRACRCOMANDA, DSCOMANDAPRI, CDPAIS, SGESTADO,
                             CDMUNICIPIO, CDBAIRRO, DSENDECONSCOMAN, DSCOMPLENDCOCOM, NRCEPCONSCOMAND,
                             DSREFENDCONSCOM, IDUTILTXSERV, IDUTILCONSUMA, IDUTILCOUVERT, DTENTREGA,
                             IDORGCMDVENDA, DSBAIRRO, IDRETBALLOJA, CDCAMPANHA, VRPONTOBRINDE,
                             VRDESCFIDELIDAD, NRCOMANDAEXT, DSOBSCOMANDA, DTHRAGENDADA, IDIMPCUPEXP,
                             DSCUPOMPROMO, DSCONSUMIDOR, NRENDECONSCOMAN, NRLATPEDIDO, NRLONGPEDIDO,
                             DSAREAATEND, VRDESCFID, IDSUBPROJETO, NRCPFFID4ALL, CDPROMOFID4ALL,
                             VRDESCCASH4ALL, VRDESCPROMO4ALL, NRREQEXTCMD, NRCPFFIDUDS, VRDESCCASHUDS,
                             NRCONTATOCON, DSEMAILENVCUPOM, IDSITENVCUPOM, DSPREVENTREGA, IDREQVALPRE,
                             NRCARVALPRE, IDREQCOREBANC, IDCARTCOREBANC, NRCPFCOREBANC, VRRESGCOREBANC,
                             NRCPFINTEPROMO, IDPEDINTEPROMO)
      VALUES (:P_CDFILIAL, :P_NRVENDAREST, :P_NRCOMANDA, :P_DSCOMANDA, :P_IDSTCOMANDA, :P_VRDESCOMANDA,
              :P_NRMESAJUNCAO, :P_CDGRPOCOR, :P_CDOCORR, :P_VRCOMISVENDE, :P_CDLOJA, :P_TXMOTIVCANCE,
              :P_VRCONSUMAMIN, :P_SGSEXOCON, :P_VRACRCOMANDA, :P_DSCOMANDAPRI, :P_CDPAIS, :P_SGESTADO,
              :P_CDMUNICIPIO, :P_CDBAIRRO, :P_DSENDECONSCOMAN, :P_DSCOMPLENDCOCOM, :P_NRCEPCONSCOMAND,
              :P_DSREFENDCONSCOM, :P_IDUTILTXSERV, :P_IDUTILCONSUMA, :P_IDUTILCOUVERT,
              )sql",
                       SqliteDataHora(":P_DTENTREGA"),
                       R"sql(,
              :P_IDORGCMDVENDA, :P_DSBAIRRO, :P_IDRETBALLOJA, :P_CDCAMPANHA, :P_VRPONTOBRINDE,
              :P_VRDESCFIDELIDAD, :P_NRCOMANDAEXT, :P_DSOBSCOMANDA, :P_DTHRAGENDADA, :P_IDIMPCUPEXP,
              :P_DSCUPOMPROMO, :P_DSCONSUMIDOR, :P_NRENDECONSCOMAN, :P_NRLATPEDIDO, :P_NRLONGPEDIDO,
              :P_DSAREAATEND, :P_VRDESCFID, :P_IDSUBPROJETO, :P_NRCPFFID4ALL, :P_CDPROMOFID4ALL,
              :P_VRDESCCASH4ALL, :P_VRDESCPROMO4ALL, :P_NRREQEXTCMD, :P_NRCPFFIDUDS, :P_VRDESCCASHUDS,
              :P_NRCONTATOCON, :P_DSEMAILENVCUPOM, :P_IDSITENVCUPOM, :P_DSPREVENTREGA, :P_IDREQVALPRE,
              :P_NRCARVALPRE, :P_IDREQCOREBANC, :P_IDCARTCOREBANC, :P_NRCPFCOREBANC, :P_VRRESGCOREBANC,
              :P_NRCPFINTEPROMO, :P_IDPEDINTEPROMO))sql"})),
  };
}

}  // namespace zlv::catalogue
