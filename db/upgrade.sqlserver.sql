-- ZlvSinc: the synchroniser's own tables in the store's SQL Server database, and the indexes
-- its number generator looks numbers up by. The installation step of a new store and the
-- upgrade step of one already installed: safe to run again, it makes only what is missing and
-- records the version it brings in ZLVSINCVERSAO. Kept column for column equal to
-- db/upgrade.sqlite.sql. Run it with a login that may create tables, outside opening hours (the
-- indexes on COMANDAVEN and ITCOMANDAVEN are built over the store's whole history):
--   sqlcmd -S <server> -d <database> -U <login> -b -i upgrade.sqlserver.sql
SET NOCOUNT ON;

IF OBJECT_ID('ZLVSINCVERSAO') IS NULL
  CREATE TABLE ZLVSINCVERSAO (
    NRVERSAO          INTEGER NOT NULL,
    DTAPLICACAO       DATETIME NULL DEFAULT GETDATE(),
    CONSTRAINT PK_ZLVSINCVERSAO PRIMARY KEY (NRVERSAO)
  );
GO

-- Orders that could not be written: the raw error messages and the diagnosis for the staff.
IF OBJECT_ID('LOGSINCDLV') IS NULL
  CREATE TABLE LOGSINCDLV (
    NRSEQLOG          INTEGER IDENTITY(1, 1) NOT NULL,
    CDFILIAL          VARCHAR(20) NOT NULL,
    CDLOJA            VARCHAR(20) NOT NULL,
    NRVENDARESTAUX    VARCHAR(20) NULL,
    DTHRABERMESA      DATETIME NULL,
    DSLOG             VARCHAR(255) NULL,
    DSLOGMSG          VARCHAR(500) NULL,
    DSCONSUMIDOR      VARCHAR(100) NULL,
    IDIMPLOG          CHAR(1) NULL DEFAULT 'N',
    DTINCLUSAO        DATETIME NULL DEFAULT GETDATE(),
    CONSTRAINT PK_LOGSINCDLV PRIMARY KEY (NRSEQLOG)
  );
IF NOT EXISTS (SELECT 1 FROM sys.indexes
               WHERE object_id = OBJECT_ID('LOGSINCDLV') AND name = 'LOGSINCDLV_PEDIDO')
  CREATE INDEX LOGSINCDLV_PEDIDO ON LOGSINCDLV (CDFILIAL, CDLOJA, NRVENDARESTAUX);

-- The last synchronisation run of each store: the synchroniser's sign of life.
IF OBJECT_ID('ZLVSINCEXECUTA') IS NULL
  CREATE TABLE ZLVSINCEXECUTA (
    CDFILIAL          VARCHAR(20) NOT NULL,
    CDLOJA            VARCHAR(20) NOT NULL,
    DTZLVSINCEXEC     DATETIME NULL,
    CONSTRAINT PK_ZLVSINCEXECUTA PRIMARY KEY (CDFILIAL, CDLOJA)
  );

-- Counters of the local number generator, per branch and, for the day's call codes, per day.
IF OBJECT_ID('ZLVPROXCODIGO') IS NULL
  CREATE TABLE ZLVPROXCODIGO (
    CDFILIAL          VARCHAR(20) NOT NULL,
    NMCONTADOR        VARCHAR(40) NOT NULL,
    DTCONTADOR        VARCHAR(10) NOT NULL DEFAULT '',
    NRULTIMO          BIGINT NOT NULL,
    CONSTRAINT PK_ZLVPROXCODIGO PRIMARY KEY (CDFILIAL, NMCONTADOR, DTCONTADOR)
  );

-- Orders whose tickets are owed (docs/crash-safety.md).
IF OBJECT_ID('ZLVSINCIMPPEND') IS NULL
  CREATE TABLE ZLVSINCIMPPEND (
    CDFILIAL          VARCHAR(20) NOT NULL,
    NRVENDAREST       VARCHAR(20) NOT NULL,
    CDLOJA            VARCHAR(20) NOT NULL,
    NRVENDARESTAUX    VARCHAR(20) NOT NULL,
    DTINCLUSAO        DATETIME NULL DEFAULT GETDATE(),
    CONSTRAINT PK_ZLVSINCIMPPEND PRIMARY KEY (CDFILIAL, NRVENDAREST)
  );
GO

-- The number generator looks up each new external request number, product sequence number and
-- call code before handing it out (sale, order-tab and item numbers by the tables' keys).
IF NOT EXISTS (SELECT 1 FROM sys.indexes
               WHERE object_id = OBJECT_ID('COMANDAVEN') AND name = 'COMANDAVEN_NRREQEXTCMD')
  CREATE INDEX COMANDAVEN_NRREQEXTCMD ON COMANDAVEN (CDFILIAL, NRREQEXTCMD);
IF NOT EXISTS (SELECT 1 FROM sys.indexes
               WHERE object_id = OBJECT_ID('ITCOMANDAVEN') AND name = 'ITCOMANDAVEN_NRSEQPRODCUP')
  CREATE INDEX ITCOMANDAVEN_NRSEQPRODCUP ON ITCOMANDAVEN (CDFILIAL, NRSEQPRODCUP);
IF NOT EXISTS (SELECT 1 FROM sys.indexes
               WHERE object_id = OBJECT_ID('ITCOMANDAVEN') AND name = 'ITCOMANDAVEN_CDSENHAPED')
  CREATE INDEX ITCOMANDAVEN_CDSENHAPED ON ITCOMANDAVEN (CDFILIAL, CDSENHAPED, DTHRINCOMVEN);

IF NOT EXISTS (SELECT 1 FROM ZLVSINCVERSAO WHERE NRVERSAO = 1)
  INSERT INTO ZLVSINCVERSAO (NRVERSAO) VALUES (1);
GO
