-- The store database on the embedded SQLite engine: every table and column the synchroniser's
-- statements read or write, with the keys and the foreign keys that the insert diagnosis turns
-- into "missing master data" messages.
--
-- Conventions:
--   codes and numbers that are codes (branch, store, sale, order tab, item, product...) are TEXT
--     and keep their leading zeros ("0001");
--   money, quantities and points are REAL;
--   date-times are DATETIME columns holding ISO text "YYYY-MM-DD HH:MM:SS" in local time, so that
--     text comparisons order them;
--   counts of days and minutes are INTEGER.
-- Foreign keys are only enforced with PRAGMA foreign_keys = ON (the session set-up does it).

-- Master data of the branch and its stores ------------------------------------------------------

CREATE TABLE LOJA (
  CDFILIAL        TEXT NOT NULL,
  CDLOJA          TEXT NOT NULL,
  NMLOJA          TEXT,
  IDSINCQUANTDIA  INTEGER,          -- days of orders the upload keeps sending; NULL: 1
  NRTEMPOPRODUCAO INTEGER,          -- minutes before a scheduled order is produced; NULL: 180
  IDUTILINTROT    TEXT,             -- 'S': the store hands ready orders to the delivery router
  CDURLROT        TEXT,             -- the router's base address
  IDORDCONTENTR   TEXT,             -- 'S': delivery ticket items ordered by name
  PRIMARY KEY (CDFILIAL, CDLOJA)
);

CREATE TABLE PARAVEND (
  CDFILIAL        TEXT NOT NULL PRIMARY KEY,
  IDSINCFILIALDLV TEXT,             -- 'S': one run per store of the branch; 'N': per register
  IDBAIXAPEDCOMP  TEXT,             -- 'S': no remote product check while writing orders
  IDIMPQTCOMBO    TEXT              -- 'S': combo quantity printed before the combo's name
);

CREATE TABLE IMPRESSORA (
  CDIMPRESSORA    TEXT NOT NULL PRIMARY KEY,
  NMIMPRESSORA    TEXT,
  IDMODEIMPRES    TEXT              -- printer model code: the key of the ticket-width table
);

CREATE TABLE IMPRLOJA (
  CDFILIAL        TEXT NOT NULL,
  CDLOJA          TEXT NOT NULL,
  NRSEQIMPRLOJA   TEXT NOT NULL,    -- the number items and registers point to
  NMIMPRLOJA      TEXT,
  CDPORTAIMPR     TEXT,
  CDIMPRESSORA    TEXT REFERENCES IMPRESSORA (CDIMPRESSORA),
  PRIMARY KEY (CDFILIAL, CDLOJA, NRSEQIMPRLOJA)
);

CREATE TABLE MAPIMPRLOJA (
  CDFILIAL        TEXT NOT NULL,
  CDLOJA          TEXT NOT NULL,
  CDPORTAIMPR     TEXT NOT NULL,
  DSENDPORTA      TEXT,             -- the port's address for the spooler
  PRIMARY KEY (CDFILIAL, CDLOJA, CDPORTAIMPR)
);

CREATE TABLE CAIXA (
  CDFILIAL         TEXT NOT NULL,
  CDCAIXA          TEXT NOT NULL,
  NMCAIXA          TEXT,
  CDLOJA           TEXT NOT NULL,
  IDSINCCAIXADLV   TEXT,            -- 'S': this register runs the delivery synchronisation
  IDIMPPEDDLV      TEXT,            -- 'S': kitchen and cancellation tickets are written
  IDIMPAUTENTREG   TEXT,            -- 'S': delivery tickets are written
  IDIMPAUTCUPZLV   TEXT,
  IDIMPAUTCUPEXP   TEXT,
  IDUTILFONTEXP    TEXT,
  NRSEQIMPRLOJA1   TEXT,            -- first production printer
  NRSEQIMPRLOJA1BK TEXT,
  NRSEQIMPRLOJA2   TEXT,            -- second production printer
  NRSEQIMPRLOJA2BK TEXT,
  NRSEQIMPRLOJA5   TEXT,            -- puxa printer
  NRSEQIMPRLOJA5BK TEXT,
  NRSEQIMPRLOJA7   TEXT,            -- delivery ticket printer (else printer 1)
  PRIMARY KEY (CDFILIAL, CDCAIXA)
);

CREATE TABLE CONFTELA (
  CDFILIAL        TEXT NOT NULL,
  NRCONFTELA      TEXT NOT NULL,
  DTINIVIGENCIA   DATETIME NOT NULL,
  CDLOJA          TEXT,
  NMCONFTELA      TEXT,
  PRIMARY KEY (CDFILIAL, NRCONFTELA, DTINIVIGENCIA)
);

CREATE TABLE CONFTELACAIXA (
  CDFILIAL        TEXT NOT NULL,
  CDCAIXA         TEXT NOT NULL,
  NRCONFTELA      TEXT NOT NULL,
  DTINIVIGENCIA   DATETIME NOT NULL,
  PRIMARY KEY (CDFILIAL, CDCAIXA, NRCONFTELA, DTINIVIGENCIA)
);

-- Buttons of a register's sales screen: group buttons (IDTPBUTTON '2') and product buttons
-- (IDTPBUTTON '1', IDTPBUTONAUX '2') that point to their group by page and button number.
CREATE TABLE ITMENUCONFTE (
  CDFILIAL        TEXT NOT NULL,
  NRCONFTELA      TEXT NOT NULL,
  NRPGCONFTELA    INTEGER NOT NULL,
  NRBUTTON        INTEGER NOT NULL,
  IDTPBUTTON      TEXT,
  IDTPBUTONAUX    TEXT,
  NRBUTTONAUX     INTEGER,
  NRPGCONFTAUX    INTEGER,
  DSBUTTON        TEXT,
  CDIDENTBUTON    TEXT,             -- the product of a product button
  PRIMARY KEY (CDFILIAL, NRCONFTELA, NRPGCONFTELA, NRBUTTON)
);

-- Products ---------------------------------------------------------------------------------------

CREATE TABLE PRODUTO (
  CDPRODUTO       TEXT NOT NULL PRIMARY KEY,
  NMPRODUTO       TEXT,
  NMPRODIMPFIS    TEXT,             -- name on fiscal and kitchen tickets, when set
  CDARVPROD       TEXT,             -- place in the product tree
  SGUNIDADE       TEXT,
  IDPESAPROD      TEXT,             -- 'S': weighed product (quantity with three decimals)
  IDIMPRODUVEZ    TEXT
);

CREATE TABLE PRODLOJA (
  CDFILIAL        TEXT NOT NULL,
  CDLOJA          TEXT NOT NULL,
  CDPRODUTO       TEXT NOT NULL REFERENCES PRODUTO (CDPRODUTO),
  CDPORIMPPROD    TEXT,
  DSENDIMPPROD    TEXT,
  IDIMPCANITEM    TEXT,
  NRSEQIMPRPROD   TEXT,             -- first production printer (IMPRLOJA.NRSEQIMPRLOJA)
  NRSEQIMPRPROD2  TEXT,             -- second production printer
  NRSEQIMPRPUXA   TEXT,             -- puxa printer
  NRSEQIMPPRDBKP  TEXT,             -- their backups
  NRSEQIMPPRD2BKP TEXT,
  NRSEQIMPPUXABKP TEXT,
  PRIMARY KEY (CDFILIAL, CDLOJA, CDPRODUTO)
);

-- Observations; one with a product is an "observation product" printed as an observation.
CREATE TABLE OCORRENCIA (
  CDGRPOCOR       TEXT NOT NULL,
  CDOCORR         TEXT NOT NULL,
  DSOCORR         TEXT,
  CDPRODUTO       TEXT,
  IDCONTROLAOBS   TEXT,             -- 'O': printed on the delivery ticket
  PRIMARY KEY (CDGRPOCOR, CDOCORR)
);

-- People ----------------------------------------------------------------------------------------

CREATE TABLE OPERADOR (
  CDOPERADOR      TEXT NOT NULL PRIMARY KEY,
  NMOPERADOR      TEXT
);

-- Sellers; on delivery orders the seller is the courier.
CREATE TABLE VENDEDOR (
  CDVENDEDOR      TEXT NOT NULL PRIMARY KEY,
  NMRAZSOCVEN     TEXT,
  NMFANTVEN       TEXT
);

CREATE TABLE ENDEVENDE (
  CDVENDEDOR      TEXT NOT NULL PRIMARY KEY REFERENCES VENDEDOR (CDVENDEDOR),
  DSENDEVEN       TEXT,
  NRCELULARVEN    TEXT,
  NRTELEVEN       TEXT,
  NRTELRESIVEN    TEXT
);

CREATE TABLE TIPORECE (
  CDTIPORECE      TEXT NOT NULL PRIMARY KEY,
  NMTIPORECE      TEXT,
  IDTIPORECE      TEXT              -- kind of receipt sent to the router
);

-- Places ----------------------------------------------------------------------------------------

CREATE TABLE PAIS (
  CDPAIS          TEXT NOT NULL PRIMARY KEY,
  NMPAIS          TEXT
);

CREATE TABLE ESTADO (
  CDPAIS          TEXT NOT NULL,
  SGESTADO        TEXT NOT NULL,
  NMESTADO        TEXT,
  PRIMARY KEY (CDPAIS, SGESTADO)
);

CREATE TABLE MUNICIPIO (
  CDPAIS          TEXT NOT NULL,
  SGESTADO        TEXT NOT NULL,
  CDMUNICIPIO     TEXT NOT NULL,
  NMMUNICIPIO     TEXT,
  PRIMARY KEY (CDPAIS, SGESTADO, CDMUNICIPIO)
);

CREATE TABLE BAIRRO (
  CDPAIS          TEXT NOT NULL,
  SGESTADO        TEXT NOT NULL,
  CDMUNICIPIO     TEXT NOT NULL,
  CDBAIRRO        TEXT NOT NULL,
  NMBAIRRO        TEXT,
  PRIMARY KEY (CDPAIS, SGESTADO, CDMUNICIPIO, CDBAIRRO)
);

-- Consumers: the download overwrites every column of these two tables by name, so the central
-- server's consumer packets carry each of them.

CREATE TABLE CONSUMIDOR (
  CDCLIENTE       TEXT NOT NULL,
  CDCONSUMIDOR    TEXT NOT NULL,
  NMCONSUMIDOR    TEXT,
  NRCPFRESPCON    TEXT,
  DSEMAILCONS     TEXT,
  NRTELECONS      TEXT,
  NRTELE2CONS     TEXT,
  NRCELULARCONS   TEXT,
  DTNASCCONS      DATETIME,
  SGSEXOCON       TEXT,
  CDPAIS          TEXT,
  SGESTADO        TEXT,
  CDMUNICIPIO     TEXT,
  CDBAIRRO        TEXT,
  DSENDECONS      TEXT,
  NRENDECONS      TEXT,
  DSCOMPLENDCONS  TEXT,
  DSREFERENDECONS TEXT,
  NRCEPCONS       TEXT,
  NMQUADRANTE     TEXT,
  IDATUCONSUMI    TEXT,             -- 'I': registered at the store, sent with the upload
  DTCADCONS       DATETIME,
  DTULTATUCSUM    DATETIME,         -- last change; a newer download overwrites the row
  PRIMARY KEY (CDCLIENTE, CDCONSUMIDOR)
);

CREATE TABLE CONSUMIFILIAL (
  CDCLIENTE       TEXT NOT NULL,
  CDCONSUMIDOR    TEXT NOT NULL,
  CDFILIAL        TEXT NOT NULL,
  IDSITCONSFIL    TEXT,
  VRSALDCONSFIL   REAL,
  DTULTCOMPRA     DATETIME,
  DTULTATU        DATETIME,         -- last change; a newer download overwrites the row
  PRIMARY KEY (CDCLIENTE, CDCONSUMIDOR, CDFILIAL),
  FOREIGN KEY (CDCLIENTE, CDCONSUMIDOR) REFERENCES CONSUMIDOR (CDCLIENTE, CDCONSUMIDOR)
);

-- Orders ----------------------------------------------------------------------------------------

-- A sale; a downloaded order keeps the central server's sale number in NRVENDARESTAUX.
CREATE TABLE VENDAREST (
  CDFILIAL        TEXT NOT NULL,
  NRVENDAREST     TEXT NOT NULL,
  NRMESA          TEXT,
  CDVENDEDOR      TEXT REFERENCES VENDEDOR (CDVENDEDOR),
  NRPESMESAVEN    TEXT,
  DTHRABERMESA    DATETIME,
  DTHRFECHMESA    DATETIME,
  CDOPERADOR      TEXT REFERENCES OPERADOR (CDOPERADOR),
  CDLOJA          TEXT,
  CDCLIENTE       TEXT,
  CDCONSUMIDOR    TEXT,
  NRCERVENDAREST  TEXT,
  NRCOOVENDAREST  TEXT,
  NRVENDARESTAUX  TEXT,
  CDOPERULTATU    TEXT,
  CDNSUESITEF     TEXT,
  IDSTATUSESITEF  TEXT,
  NRMESAEATTAKE   TEXT,
  PRIMARY KEY (CDFILIAL, NRVENDAREST),
  FOREIGN KEY (CDCLIENTE, CDCONSUMIDOR) REFERENCES CONSUMIDOR (CDCLIENTE, CDCONSUMIDOR)
);
CREATE INDEX VENDAREST_NRVENDARESTAUX ON VENDAREST (NRVENDARESTAUX, CDFILIAL);

-- An order tab. DSCOMANDA "DLV_<n>" for delivery orders, "ENC_<n>" for scheduled ones;
-- IDSTCOMANDA '4' cancelled.
CREATE TABLE COMANDAVEN (
  CDFILIAL          TEXT NOT NULL,
  NRVENDAREST       TEXT NOT NULL,
  NRCOMANDA         TEXT NOT NULL,
  DSCOMANDA         TEXT,
  IDSTCOMANDA       TEXT,
  VRDESCOMANDA      REAL,
  NRMESAJUNCAO      TEXT,
  CDGRPOCOR         TEXT,
  CDOCORR           TEXT,
  VRCOMISVENDE      REAL,
  CDLOJA            TEXT,
  TXMOTIVCANCE      TEXT,
  VRCONSUMAMIN      REAL,
  SGSEXOCON         TEXT,
  VRACRCOMANDA      REAL,
  DSCOMANDAPRI      TEXT,
  CDPAIS            TEXT,
  SGESTADO          TEXT,
  CDMUNICIPIO       TEXT,
  CDBAIRRO          TEXT,
  DSENDECONSCOMAN   TEXT,
  DSCOMPLENDCOCOM   TEXT,
  NRCEPCONSCOMAND   TEXT,
  DSREFENDCONSCOM   TEXT,
  IDUTILTXSERV      TEXT,
  IDUTILCONSUMA     TEXT,
  IDUTILCOUVERT     TEXT,
  DTENTREGA         DATETIME,
  IDORGCMDVENDA     TEXT,             -- origin: DLV_IFO, DLV_ZLV, ...
  DSBAIRRO          TEXT,
  IDRETBALLOJA      TEXT,             -- 'N' deliver, 'S' pick up, 'C' eat in
  CDCAMPANHA        TEXT,
  VRPONTOBRINDE     REAL,
  VRDESCFIDELIDAD   REAL,
  NRCOMANDAEXT      TEXT,
  DSOBSCOMANDA      TEXT,
  DTHRAGENDADA      DATETIME,
  IDIMPCUPEXP       TEXT,
  DSCUPOMPROMO      TEXT,
  DSCONSUMIDOR      TEXT,
  NRENDECONSCOMAN   TEXT,
  NRLATPEDIDO       TEXT,
  NRLONGPEDIDO      TEXT,
  DSAREAATEND       TEXT,
  VRDESCFID         REAL,
  IDSUBPROJETO      TEXT,
  NRCPFFID4ALL      TEXT,
  CDPROMOFID4ALL    TEXT,
  VRDESCCASH4ALL    REAL,
  VRDESCPROMO4ALL   REAL,
  NRREQEXTCMD       TEXT,
  NRCPFFIDUDS       TEXT,
  VRDESCCASHUDS     REAL,
  NRCONTATOCON      TEXT,
  DSEMAILENVCUPOM   TEXT,
  IDSITENVCUPOM     TEXT,
  DSPREVENTREGA     TEXT,
  IDREQVALPRE       TEXT,
  NRCARVALPRE       TEXT,
  IDREQCOREBANC     TEXT,
  IDCARTCOREBANC    TEXT,
  NRCPFCOREBANC     TEXT,
  VRRESGCOREBANC    REAL,
  NRCPFINTEPROMO    TEXT,
  IDPEDINTEPROMO    TEXT,
  IDSINCRONIZADO    TEXT,             -- 'S': the central server holds the final state
  IDORIGEMPEDZLV    TEXT,
  IDSINCAGENDA      TEXT DEFAULT 'N', -- scheduled orders: 'N' waiting, 'S' released
  IDSITUPEDROT      TEXT,             -- 'S': accepted by the delivery router
  DTSAIDACMD        DATETIME,
  DTINCLUSAO        DATETIME DEFAULT (datetime('now', 'localtime')),
  PRIMARY KEY (CDFILIAL, NRVENDAREST, NRCOMANDA),
  UNIQUE (CDFILIAL, NRCOMANDA)
);
-- The upload reads only the order tabs the central server does not hold the final state of.
CREATE INDEX COMANDAVEN_SINCRONIZADO ON COMANDAVEN (CDFILIAL, IDSINCRONIZADO);

-- An item. IDSTPRCOMVEN '6' cancelled.
CREATE TABLE ITCOMANDAVEN (
  CDFILIAL          TEXT NOT NULL,
  NRVENDAREST       TEXT NOT NULL,
  NRCOMANDA         TEXT NOT NULL,
  NRPRODCOMVEN      TEXT NOT NULL,
  CDPRODUTO         TEXT REFERENCES PRODUTO (CDPRODUTO),
  QTPRODCOMVEN      REAL,
  VRPRECCOMVEN      REAL,
  IDSTPRCOMVEN      TEXT,
  VRDESCCOMVEN      REAL,
  NRLUGARMESA       TEXT,
  CDGRPOCOR         TEXT,
  CDOCORR           TEXT,
  NRMESAORIG        TEXT,
  CDLOJAORIG        TEXT,
  DTHRINCOMVEN      DATETIME,
  VRACRCOMVEN       REAL,
  NRSEQPRODCOM      TEXT,             -- the combo an item belongs to, within the order
  NRSEQPRODCUP      TEXT,
  CDPRODPROMOCAO    TEXT,             -- the combo product; NULL outside a combo
  CDVENDEDOR        TEXT,
  TXPRODCOMVEN      TEXT,
  CDCAIXACOLETOR    TEXT,
  CDLOJA            TEXT,
  IDPRODIMPFIS      TEXT,
  VRPRECCLCOMVEN    REAL,
  NRMESADSCOMORIT   TEXT,
  NRINSCRCONS       TEXT,
  CDSENHAPED        TEXT,             -- the order tab's call code
  DSOBSPEDDIGCMD    TEXT,             -- observation typed for the item
  NRATRAPRODCOVE    TEXT,
  IDORIGEMVENDA     TEXT,
  IDIMPPRGRPROMO    TEXT,             -- 'S': not printed on kitchen tickets
  DSPRODUTOGEN      TEXT,             -- generic description that replaces the product's name
  PRIMARY KEY (CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN)
);
-- The item number counter of a new order tab starts above the tab's items (number generator).
CREATE INDEX ITCOMANDAVEN_COMANDA ON ITCOMANDAVEN (CDFILIAL, NRCOMANDA);

-- Composition of an item (the parts of a product).
CREATE TABLE ITCOMANDAEST (
  CDFILIAL          TEXT NOT NULL,
  NRVENDAREST       TEXT NOT NULL,
  NRCOMANDA         TEXT NOT NULL,
  NRPRODCOMVEN      TEXT NOT NULL,
  CDPRODUTO         TEXT NOT NULL REFERENCES PRODUTO (CDPRODUTO),
  QTPROCOMEST       REAL,
  VRPRECCOMEST      REAL,
  VRDESITCOMEST     REAL,
  TXPRODCOMVENEST   TEXT,
  DSOBSPEDDIGEST    TEXT,
  IDIMPPRGRPROMO    TEXT,
  PRIMARY KEY (CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN, CDPRODUTO)
);

CREATE TABLE OBSITCOMANDAVEN (
  CDFILIAL          TEXT NOT NULL,
  NRVENDAREST       TEXT NOT NULL,
  NRCOMANDA         TEXT NOT NULL,
  NRPRODCOMVEN      TEXT NOT NULL,
  CDGRPOCOR         TEXT NOT NULL,
  CDOCORR           TEXT NOT NULL,
  QTPRODCOMVENOBS   REAL,             -- how many times; NULL: once
  PRIMARY KEY (CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN, CDGRPOCOR, CDOCORR),
  FOREIGN KEY (CDGRPOCOR, CDOCORR) REFERENCES OCORRENCIA (CDGRPOCOR, CDOCORR)
);
CREATE INDEX OBSITCOMANDAVEN_ITEM ON OBSITCOMANDAVEN (NRVENDAREST, NRPRODCOMVEN);

CREATE TABLE OBSITCOMANDAEST (
  CDFILIAL          TEXT NOT NULL,
  NRVENDAREST       TEXT NOT NULL,
  NRCOMANDA         TEXT NOT NULL,
  NRPRODCOMVEN      TEXT NOT NULL,
  CDPRODUTO         TEXT NOT NULL,
  CDGRPOCOR         TEXT NOT NULL,
  CDOCORR           TEXT NOT NULL,
  QTPRODCOMVENOBS   REAL,
  PRIMARY KEY (CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN, CDPRODUTO, CDGRPOCOR, CDOCORR),
  FOREIGN KEY (CDGRPOCOR, CDOCORR) REFERENCES OCORRENCIA (CDGRPOCOR, CDOCORR)
);
CREATE INDEX OBSITCOMANDAEST_ITEM ON OBSITCOMANDAEST (NRVENDAREST, NRPRODCOMVEN);

CREATE TABLE MOVPONTOCONSAUX (
  CDFILIAL          TEXT NOT NULL,
  NRVENDAREST       TEXT NOT NULL,
  NRCOMANDA         TEXT NOT NULL,
  NRPRODCOMVEN      TEXT NOT NULL,
  CDCAMPANHA        TEXT NOT NULL,
  IDTPMOVCONS       TEXT NOT NULL,
  VRPONTOBRINDE     REAL,
  CDLOJA            TEXT,
  DTULTATU          DATETIME,
  PRIMARY KEY (CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN, CDCAMPANHA, IDTPMOVCONS)
);

-- Payments of a delivery order. IDTIPOMOVIVEDLV 'E' received, 'S' change given back.
CREATE TABLE MOVCAIXADLV (
  CDFILIAL          TEXT NOT NULL,
  NRVENDAREST       TEXT NOT NULL,
  NRSEQMOVDLV       TEXT NOT NULL,
  IDTIPOMOVIVEDLV   TEXT,
  VRMOVIVENDDLV     REAL,
  CDTIPORECE        TEXT REFERENCES TIPORECE (CDTIPORECE),
  CDCLIENTE         TEXT,
  CDCONSUMIDOR      TEXT,
  NRCARTBANCODLV    TEXT,
  CDFAMILISALD      TEXT,
  CDNSUTEFDLV       TEXT,
  DTHRACESSOCAT     DATETIME,
  NRAUTORIZATEFDLV  TEXT,
  PRIMARY KEY (CDFILIAL, NRVENDAREST, NRSEQMOVDLV)
);

-- Status history of an order, written by the store's point of sale; IDIMPHISTPED 'S' once
-- sent to the central server.
CREATE TABLE HISTPEDCONS (
  CDFILIAL          TEXT NOT NULL,
  CDLOJA            TEXT NOT NULL,
  NRVENDAREST       TEXT NOT NULL,
  NRCOMANDA         TEXT NOT NULL,
  NRSEQHISTPED      TEXT NOT NULL,
  IDSTCOMANDA       TEXT,
  DTHISTPED         DATETIME,
  CDOPERADOR        TEXT,
  IDIMPHISTPED      TEXT DEFAULT 'N',
  PRIMARY KEY (CDFILIAL, CDLOJA, NRVENDAREST, NRCOMANDA, NRSEQHISTPED)
);
-- The upload reads only the status changes not sent yet.
CREATE INDEX HISTPEDCONS_PENDENTE ON HISTPEDCONS (CDFILIAL, CDLOJA, IDIMPHISTPED);

-- Completed sales of the point of sale (IDSITUVENDA 'O'); an order with one cannot be cancelled
-- from the central server.
CREATE TABLE VENDA (
  CDFILIAL          TEXT NOT NULL,
  CDCAIXA           TEXT NOT NULL,
  NRSEQVENDA        TEXT NOT NULL,
  CDLOJA            TEXT,
  NRVENDAREST       TEXT,
  IDSITUVENDA       TEXT,
  DTHRVENDA         DATETIME,
  VRTOTVENDA        REAL,
  PRIMARY KEY (CDFILIAL, CDCAIXA, NRSEQVENDA)
);

-- Kitchen display items. IDSITITPEDZLV 'C' cancelled.
CREATE TABLE ITPEDIDOZLV (
  CDFILIAL          TEXT NOT NULL,
  NRVENDAREST       TEXT NOT NULL,
  NRCOMANDA         TEXT NOT NULL,
  NRPRODCOMVEN      TEXT NOT NULL,
  CDPRODUTO         TEXT,
  IDSITITPEDZLV     TEXT,
  DTCANCITPED       DATETIME,
  PRIMARY KEY (CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN)
);

CREATE TABLE ITPEDIDOZLVREL (
  CDFILIAL          TEXT NOT NULL,
  NRVENDAREST       TEXT NOT NULL,
  NRCOMANDA         TEXT NOT NULL,
  NRPRODCOMVEN      TEXT NOT NULL,
  CDPRODUTO         TEXT,
  IDSITITPEDZLV     TEXT,
  PRIMARY KEY (CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN)
);

-- The synchroniser's own tables ------------------------------------------------------------------
-- db/upgrade.sqlite.sql makes the same tables and indexes in a store made by an older version of
-- this file; the synchroniser never creates them itself.

-- The version of these tables (and of the indexes below that the synchroniser adds to the point
-- of sale's tables): one row per upgrade applied.
CREATE TABLE ZLVSINCVERSAO (
  NRVERSAO          INTEGER NOT NULL PRIMARY KEY,
  DTAPLICACAO       DATETIME DEFAULT (datetime('now', 'localtime'))
);
INSERT INTO ZLVSINCVERSAO (NRVERSAO) VALUES (1);

-- Orders that could not be written: the raw error messages and the diagnosis for the staff.
CREATE TABLE LOGSINCDLV (
  NRSEQLOG          INTEGER PRIMARY KEY AUTOINCREMENT,
  CDFILIAL          TEXT NOT NULL,
  CDLOJA            TEXT NOT NULL,
  NRVENDARESTAUX    TEXT,
  DTHRABERMESA      DATETIME,
  DSLOG             TEXT,
  DSLOGMSG          TEXT,
  DSCONSUMIDOR      TEXT,
  IDIMPLOG          TEXT DEFAULT 'N', -- 'S': shown to the staff; removed after a day
  DTINCLUSAO        DATETIME DEFAULT (datetime('now', 'localtime'))
);
CREATE INDEX LOGSINCDLV_PEDIDO ON LOGSINCDLV (CDFILIAL, CDLOJA, NRVENDARESTAUX);

-- The last synchronisation run of each store: the synchroniser's sign of life.
CREATE TABLE ZLVSINCEXECUTA (
  CDFILIAL          TEXT NOT NULL,
  CDLOJA            TEXT NOT NULL,
  DTZLVSINCEXEC     DATETIME,
  PRIMARY KEY (CDFILIAL, CDLOJA)
);

-- Counters of the local number generator, per branch and, for the day's call codes, per day.
CREATE TABLE ZLVPROXCODIGO (
  CDFILIAL          TEXT NOT NULL,
  NMCONTADOR        TEXT NOT NULL,
  DTCONTADOR        TEXT NOT NULL DEFAULT '',
  NRULTIMO          INTEGER NOT NULL,
  PRIMARY KEY (CDFILIAL, NMCONTADOR, DTCONTADOR)
);

-- Orders whose tickets are owed: the synchroniser writes a row in the order's own transaction
-- and deletes it once the order's tickets are written, so the tickets of an order committed
-- just before the process died are written by the next run, before its download. The keys are
-- the store's sale (NRVENDAREST) and, for the run that has only the download, the central
-- server's sale number (NRVENDARESTAUX). It holds at most the orders of one download, so it
-- needs no index of its own.
CREATE TABLE ZLVSINCIMPPEND (
  CDFILIAL          TEXT NOT NULL,
  NRVENDAREST       TEXT NOT NULL,
  CDLOJA            TEXT NOT NULL,
  NRVENDARESTAUX    TEXT NOT NULL,
  DTINCLUSAO        DATETIME DEFAULT (datetime('now', 'localtime')),
  PRIMARY KEY (CDFILIAL, NRVENDAREST)
);

-- The number generator looks up each new external request number, product sequence number and
-- call code among the rows of its branch (and day) before handing it out: another program may
-- have used it. Sale, order-tab and item numbers are found by the keys above.
CREATE INDEX COMANDAVEN_NRREQEXTCMD ON COMANDAVEN (CDFILIAL, NRREQEXTCMD);
CREATE INDEX ITCOMANDAVEN_NRSEQPRODCUP ON ITCOMANDAVEN (CDFILIAL, NRSEQPRODCUP);
CREATE INDEX ITCOMANDAVEN_CDSENHAPED ON ITCOMANDAVEN (CDFILIAL, CDSENHAPED, DTHRINCOMVEN);

-- Query planner statistics -----------------------------------------------------------------------
-- A store database holds one branch, so an index that starts with CDFILIAL narrows nothing by
-- its first column, which the planner cannot know before ANALYZE has seen data. Without these
-- figures it walks every order tab of the branch to find one sale by NRVENDARESTAUX, and the
-- ticket and writer queries slow down with every order the store keeps. The figures give the
-- shape of a store with a long history (rows, then rows per value of each index prefix); an
-- ANALYZE run later replaces them with the store's own.
ANALYZE sqlite_master;
INSERT INTO sqlite_stat1 (tbl, idx, stat) VALUES
  ('VENDAREST', 'sqlite_autoindex_VENDAREST_1', '100000 100000 1'),
  ('VENDAREST', 'VENDAREST_NRVENDARESTAUX', '100000 1 1'),
  ('COMANDAVEN', 'sqlite_autoindex_COMANDAVEN_1', '100000 100000 1 1'),
  ('COMANDAVEN', 'sqlite_autoindex_COMANDAVEN_2', '100000 100000 1'),
  ('COMANDAVEN', 'COMANDAVEN_SINCRONIZADO', '100000 100000 50'),
  ('COMANDAVEN', 'COMANDAVEN_NRREQEXTCMD', '100000 100000 1'),
  ('ITCOMANDAVEN', 'sqlite_autoindex_ITCOMANDAVEN_1', '500000 500000 5 5 1'),
  ('ITCOMANDAVEN', 'ITCOMANDAVEN_COMANDA', '500000 500000 5'),
  ('ITCOMANDAVEN', 'ITCOMANDAVEN_NRSEQPRODCUP', '500000 500000 5'),
  ('ITCOMANDAVEN', 'ITCOMANDAVEN_CDSENHAPED', '500000 500000 50 5'),
  ('ITCOMANDAEST', 'sqlite_autoindex_ITCOMANDAEST_1', '200000 200000 4 4 2 1'),
  ('OBSITCOMANDAVEN', 'OBSITCOMANDAVEN_ITEM', '300000 3 1'),
  ('OBSITCOMANDAVEN', 'sqlite_autoindex_OBSITCOMANDAVEN_1', '300000 300000 3 3 1 1 1'),
  ('OBSITCOMANDAEST', 'OBSITCOMANDAEST_ITEM', '100000 3 1'),
  ('OBSITCOMANDAEST', 'sqlite_autoindex_OBSITCOMANDAEST_1', '100000 100000 3 3 1 1 1 1'),
  ('MOVPONTOCONSAUX', 'sqlite_autoindex_MOVPONTOCONSAUX_1', '100000 100000 2 2 1 1 1'),
  ('MOVCAIXADLV', 'sqlite_autoindex_MOVCAIXADLV_1', '200000 200000 2 1'),
  ('HISTPEDCONS', 'sqlite_autoindex_HISTPEDCONS_1', '300000 300000 300000 3 3 1'),
  ('HISTPEDCONS', 'HISTPEDCONS_PENDENTE', '300000 300000 300000 50'),
  ('LOGSINCDLV', 'LOGSINCDLV_PEDIDO', '1000 1000 1000 2'),
  ('CONSUMIDOR', 'sqlite_autoindex_CONSUMIDOR_1', '100000 100000 1'),
  ('CONSUMIFILIAL', 'sqlite_autoindex_CONSUMIFILIAL_1', '100000 100000 1 1'),
  ('ZLVPROXCODIGO', 'sqlite_autoindex_ZLVPROXCODIGO_1', '100 100 2 1');
-- Loads the figures into this connection's planner too.
ANALYZE sqlite_master;
