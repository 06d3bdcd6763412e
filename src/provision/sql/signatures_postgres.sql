-- Per destination recipe, a digest of the source recipe a run last wrote it from or found it equal to, so a
-- later run of the same source recipe leaves it alone without reading its lines. Any write to a recipe's lines
-- drops its digest, except a run's own (suite.escrita set for its transaction), which keeps the digests itself.
CREATE TABLE INTGASSIN (
  IDTIPORECE   VARCHAR NOT NULL,
  CDFILIAL     VARCHAR NOT NULL,
  CDSERVFILI   VARCHAR NOT NULL,
  CDFILAUXPRAT VARCHAR NOT NULL,
  CDPRATO      VARCHAR NOT NULL,
  DSASSIN      VARCHAR NOT NULL,
  -- The source recipe's line count, which the destination recipe has while it keeps the digest: an undo
  -- need not count them. -1 where unknown (digests kept before the column was); not NULL, since a nullable
  -- column here would make SQLite sort the digests it walks in key order.
  QTLINHAS     INTEGER NOT NULL DEFAULT -1,
  PRIMARY KEY (IDTIPORECE, CDFILIAL, CDSERVFILI, CDFILAUXPRAT, CDPRATO)
) WITH (fillfactor = 50)  -- a run rewrites the digests of what it compared: the free half keeps the updates in place
;
-- Runs as its owner, so a writer allowed to change recipes needs no rights on the digests.
CREATE FUNCTION INTGASSIN_ESQUECER() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER
SET search_path FROM CURRENT AS $$
DECLARE
  serv_old VARCHAR := COALESCE(to_jsonb(OLD)->>'cdservfili', '');
  serv_new VARCHAR := COALESCE(to_jsonb(NEW)->>'cdservfili', '');
BEGIN
  IF TG_OP <> 'INSERT' THEN
    DELETE FROM INTGASSIN WHERE IDTIPORECE = TG_ARGV[0] AND CDFILIAL = OLD.CDFILIAL AND CDSERVFILI = serv_old
      AND CDFILAUXPRAT = OLD.CDFILAUXPRAT AND CDPRATO = OLD.CDPRATO;
  END IF;
  IF TG_OP <> 'DELETE' THEN
    DELETE FROM INTGASSIN WHERE IDTIPORECE = TG_ARGV[0] AND CDFILIAL = NEW.CDFILIAL AND CDSERVFILI = serv_new
      AND CDFILAUXPRAT = NEW.CDFILAUXPRAT AND CDPRATO = NEW.CDPRATO;
  END IF;
  RETURN NULL;
END
$$
;
CREATE TRIGGER TR_INTGASSIN_RECEITA AFTER INSERT OR UPDATE OR DELETE ON RECEITA FOR EACH ROW
WHEN (current_setting('suite.escrita', true) IS DISTINCT FROM 'integracao')
EXECUTE FUNCTION INTGASSIN_ESQUECER('L')
;
CREATE TRIGGER TR_INTGASSIN_RECEITASERV AFTER INSERT OR UPDATE OR DELETE ON RECEITASERV FOR EACH ROW
WHEN (current_setting('suite.escrita', true) IS DISTINCT FROM 'integracao')
EXECUTE FUNCTION INTGASSIN_ESQUECER('S')
