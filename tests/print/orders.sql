-- Realistic delivery orders of the demo store (branch 0001, store 001), as the order writers
-- leave them in the store database: local sale numbers 101.., the central server's numbers
-- 900001.. kept in NRVENDARESTAUX. Loaded on top of db/demo-seed.sql by the print tests.
--
--  101 / 900001  Zelvora app, delivery: two printers, a combo sold with its own product row,
--                item observations and a typed one, a weighed product, half a portion, a
--                discount, a surcharge, payment in cash with change.
--  102 / 900002  iFood, pick up: an observation product sold as an item, external number,
--                part paid with an iFood voucher.
--  103 / 900003  external order (DLV_ORD) eaten in at table 12 (eat-in table 7): a combo without
--                its own product row whose burger is made of parts, an item not printed in the
--                kitchen, a weighed product.
--  104 / 900004  scheduled order (ENC_) for 06/12/2026 22:30, delivery from the web site.
--  105 / 900005  Rappi order already cancelled at the store.

PRAGMA foreign_keys = ON;
BEGIN;

INSERT INTO VENDAREST (CDFILIAL, NRVENDAREST, NRMESA, CDVENDEDOR, NRPESMESAVEN, DTHRABERMESA,
                       CDOPERADOR, CDLOJA, CDCLIENTE, CDCONSUMIDOR, NRVENDARESTAUX,
                       NRMESAEATTAKE) VALUES
  ('0001', '101', NULL, '0001', '1', '2026-12-06 20:40:00', '0001', '001', '0001', '000001',
   '900001', NULL),
  ('0001', '102', NULL, '9999', '1', '2026-12-06 20:42:00', '0001', '001', '0001', '000002',
   '900002', NULL),
  ('0001', '103', '12', '0002', '2', '2026-12-06 20:45:00', '0002', '001', '0001', '000003',
   '900003', '7'),
  ('0001', '104', NULL, '0001', '1', '2026-12-06 10:15:00', '0001', '001', '0001', '000001',
   '900004', NULL),
  ('0001', '105', NULL, '0002', '1', '2026-12-06 19:58:00', '0001', '001', '0001', '000001',
   '900005', NULL);

INSERT INTO COMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA, DSCOMANDA, IDSTCOMANDA, VRDESCOMANDA,
                        CDLOJA, VRACRCOMANDA, CDPAIS, SGESTADO, CDMUNICIPIO, CDBAIRRO,
                        DSENDECONSCOMAN, DSCOMPLENDCOCOM, NRCEPCONSCOMAND, DSREFENDCONSCOM,
                        IDORGCMDVENDA, DSBAIRRO, IDRETBALLOJA, NRCOMANDAEXT, DSOBSCOMANDA,
                        DTHRAGENDADA, DSCONSUMIDOR, NRENDECONSCOMAN, NRCONTATOCON,
                        DSPREVENTREGA, IDSINCAGENDA) VALUES
  ('0001', '101', '5001', 'DLV_1520', 'P', 5.00, '001', 7.00, '1058', 'SP', '3550308', '0001',
   'Rua Augusta', 'Apto 42', '01305000', 'Perto do metrô', 'DLV_ZLV', NULL, 'N', NULL,
   'Interfone quebrado, ligar ao chegar', NULL, NULL, '120', '11990001000', '20:30 - 20:50',
   'N'),
  ('0001', '102', '5002', 'DLV_1521', 'P', 0, '001', 0, NULL, NULL, NULL, NULL,
   NULL, NULL, NULL, NULL, 'DLV_IFO', NULL, 'S', '4471', NULL,
   NULL, 'Bruno C.', NULL, '11955554444', NULL, 'N'),
  ('0001', '103', '5003', 'DLV_1522', 'P', 0, '001', 0, NULL, NULL, NULL, NULL,
   NULL, NULL, NULL, NULL, 'DLV_ORD', NULL, 'C', 'A-981', 'Cliente alérgico a amendoim',
   '1899-12-30 00:00:00', NULL, NULL, NULL, NULL, 'N'),
  ('0001', '104', '5004', 'ENC_1600', 'P', 0, '001', 5.00, '1058', 'SP', '3550308', '0002',
   'Avenida Brigadeiro Luis Antonio', NULL, '01402000', NULL, 'DLV_SIT', NULL, 'N', NULL,
   NULL, '2026-12-06 22:30:00', NULL, '2500', NULL, NULL, 'N'),
  ('0001', '105', '5005', 'DLV_1523', '4', 0, '001', 0, NULL, NULL, NULL, NULL,
   NULL, NULL, NULL, NULL, 'DLV_RAP', NULL, 'N', 'R-3321', 'Sem talheres',
   NULL, 'Ana P.', NULL, NULL, NULL, 'N');

-- TXPRODCOMVEN is the central server's free note on an item; the kitchen tickets print an
-- item's observation list only beside such a note, as the item selections read them.
INSERT INTO ITCOMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN, CDPRODUTO,
                          QTPRODCOMVEN, VRPRECCOMVEN, IDSTPRCOMVEN, VRDESCCOMVEN, VRACRCOMVEN,
                          NRSEQPRODCOM, CDPRODPROMOCAO, TXPRODCOMVEN, CDLOJA, CDSENHAPED,
                          DSOBSPEDDIGCMD, IDIMPPRGRPROMO, DSPRODUTOGEN) VALUES
  -- 101: a burger with observations, a drink, the classic combo with its own product row
  -- (which carries the combo's price and observation and is not printed itself), a weighed
  -- salad and half a portion of fries.
  ('0001', '101', '5001', '001', '10001', 2, 25.90, '1', 0, 1.50, NULL, NULL, 'Cliente fiel', '001',
   '042',
   'Pão bem tostado;SEM CEBOLA', NULL, NULL),
  ('0001', '101', '5001', '002', '10004', 2, 6.50, '1', 2.00, 0, NULL, NULL, NULL, '001', '042',
   NULL, NULL, NULL),
  ('0001', '101', '5001', '003', '20001', 1, 32.90, '1', 0, 0, '1', '20001', 'Sem gelo no suco',
   '001', '042', NULL, 'S', NULL),
  ('0001', '101', '5001', '004', '10002', 1, 0, '1', 0, 0, '1', '20001', 'Trocar picles', '001',
   '042',
   NULL, NULL, NULL),
  ('0001', '101', '5001', '005', '10003', 1, 0, '1', 0, 0, '1', '20001', NULL, '001', '042',
   NULL, NULL, NULL),
  ('0001', '101', '5001', '006', '10005', 1, 0, '1', 0, 0, '1', '20001', NULL, '001', '042',
   NULL, NULL, NULL),
  ('0001', '101', '5001', '007', '10010', 0.35, 49.90, '1', 0, 0, NULL, NULL, NULL, '001', '042',
   NULL, NULL, NULL),
  ('0001', '101', '5001', '008', '10003', 0.5, 9.90, '1', 0, 0, NULL, NULL, NULL, '001', '042',
   NULL, NULL, NULL),
  -- 102: a burger with bacon as observation and as item, and a drink.
  ('0001', '102', '5002', '001', '10001', 1, 29.90, '1', 0, 0, NULL, NULL, 'Pedido iFood', '001',
   '043',
   'Caprichar no molho', NULL, NULL),
  ('0001', '102', '5002', '002', '30001', 1, 4.00, '1', 0, 0, NULL, NULL, NULL, '001', '043',
   NULL, NULL, NULL),
  ('0001', '102', '5002', '003', '10004', 1, 6.50, '1', 0, 0, NULL, NULL, NULL, '001', '043',
   NULL, NULL, NULL),
  -- 103: the classic combo without its own row (a cheeseburger made of parts and a drink),
  -- fries not printed in the kitchen, a weighed salad.
  ('0001', '103', '5003', '001', '10002', 1, 24.90, '1', 0, 0, '1', '20001', NULL, '001', '044',
   NULL, NULL, NULL),
  ('0001', '103', '5003', '002', '10004', 1, 8.00, '1', 0, 0, '1', '20001', NULL, '001', '044',
   NULL, NULL, NULL),
  ('0001', '103', '5003', '003', '10003', 1, 9.90, '1', 0, 0, NULL, NULL, NULL, '001', '044',
   NULL, 'S', NULL),
  ('0001', '103', '5003', '004', '10010', 1.25, 49.90, '1', 0, 0, NULL, NULL, NULL, '001', '044',
   NULL, NULL, 'SALADA DO CHEF'),
  -- 104: scheduled burgers and a juice.
  ('0001', '104', '5004', '001', '10001', 3, 25.90, '1', 0, 0, NULL, NULL, 'Festa', '001', '045',
   'Um sem molho', NULL, NULL),
  ('0001', '104', '5004', '002', '10005', 1, 9.00, '1', 0, 0, NULL, NULL, NULL, '001', '045',
   NULL, NULL, NULL),
  -- 105: cancelled: a burger and a drink.
  ('0001', '105', '5005', '001', '10001', 1, 25.90, '6', 0, 0, NULL, NULL, 'Cliente fiel', '001',
   '046',
   NULL, NULL, NULL),
  ('0001', '105', '5005', '002', '10004', 1, 6.50, '6', 0, 0, NULL, NULL, NULL, '001', '046',
   NULL, NULL, NULL);

INSERT INTO OBSITCOMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN, CDGRPOCOR, CDOCORR,
                             QTPRODCOMVENOBS) VALUES
  ('0001', '101', '5001', '001', '01', '001', NULL),
  ('0001', '101', '5001', '001', '01', '003', NULL),
  ('0001', '101', '5001', '004', '01', '002', NULL),
  ('0001', '102', '5002', '001', '01', '002', NULL),
  ('0001', '102', '5002', '001', '02', '001', NULL),
  ('0001', '104', '5004', '001', '01', '004', NULL),
  ('0001', '105', '5005', '001', '01', '001', NULL);

INSERT INTO ITCOMANDAEST (CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN, CDPRODUTO,
                          QTPROCOMEST, VRPRECCOMEST, VRDESITCOMEST, TXPRODCOMVENEST,
                          DSOBSPEDDIGEST, IDIMPPRGRPROMO) VALUES
  ('0001', '103', '5003', '001', '10001', 1, 0, 0, 'Sem picles', NULL, NULL),
  ('0001', '103', '5003', '001', '30002', 2, 0, 0, NULL, 'Cheddar', NULL);

INSERT INTO MOVCAIXADLV (CDFILIAL, NRVENDAREST, NRSEQMOVDLV, IDTIPOMOVIVEDLV, VRMOVIVENDDLV,
                         CDTIPORECE, CDCLIENTE, CDCONSUMIDOR) VALUES
  ('0001', '101', '1', 'E', 130.00, '001', '0001', '000001'),
  ('0001', '101', '2', 'S', 8.39, '004', '0001', '000001'),
  ('0001', '102', '1', 'E', 30.40, '005', '0001', '000002'),
  ('0001', '102', '2', 'E', 10.00, '010', '0001', '000002'),
  ('0001', '103', '1', 'E', 105.17, '002', '0001', '000003'),
  ('0001', '103', '2', 'T', 5.00, '001', '0001', '000003'),
  ('0001', '104', '1', 'E', 91.70, '005', '0001', '000001');

COMMIT;
