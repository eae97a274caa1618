-- The 26 columns of the DAB export, computed by SQL alone, for the peers
-- (the sqlite3 shell and Python's csv module). Same rows, same order, same
-- cell values, with one exception: SQL has no cheap way to drop every second
-- '/'-separated segment, so the fax number is written unmasked.
SELECT
  c.id AS "ZltAddressBookId",
  c.display_name AS "DisplayName",
  CASE WHEN c.dl_type = 0 THEN c.first_name ELSE '' END AS "FirstName",
  CASE WHEN c.dl_type = 0 THEN c.last_name ELSE '' END AS "LastName",
  CASE WHEN c.dl_type = 0 THEN c.company ELSE '' END AS "Company",
  CASE WHEN c.dl_type = 0 AND c.all_favorites_order <> -1 THEN c.all_favorites_order ELSE '' END
    AS "ZltAllFavoritesOrder",
  (SELECT '"' || group_concat(m.group_id, ',') || '"'
     FROM (SELECT m.group_id FROM memberships AS m JOIN contacts AS g ON g.id = m.group_id
            WHERE m.contact_id = c.id ORDER BY m.position) AS m) AS "MemberOf",
  CASE c.dl_type WHEN 1 THEN 1 WHEN 2 THEN 2 ELSE 0 END AS "IsDL",
  CASE c.dl_type WHEN 0 THEN '' WHEN 1 THEN 'Fax' WHEN 2 THEN 'Email' ELSE 'Unknown' END
    AS "ZltApplicableWorkflows",
  CASE WHEN c.dl_type = 0 THEN c.fax_number ELSE '' END AS "FaxNumber",
  c.fax_favorite AS "ZltIsFaxFavorite",
  CASE WHEN c.dl_type = 0 THEN c.email_address ELSE '' END AS "E-mailAddress",
  c.email_favorite AS "ZltIsEmailFavorite",
  CASE WHEN c.dl_type = 0 THEN c.ifax_address ELSE '' END AS "InternetFaxAddress",
  CASE WHEN c.dl_type = 0 THEN c.scan_nickname ELSE '' END AS "ScanNickName",
  c.scan_favorite AS "ZltIsScanFavorite",
  CASE WHEN c.dl_type <> 0 THEN ''
       ELSE CASE c.scan_protocol WHEN 0 THEN 4 WHEN 1 THEN 1 WHEN 2 THEN 3 WHEN 3 THEN 5
                                 WHEN 4 THEN 6 WHEN 5 THEN 7 WHEN 6 THEN 2 ELSE 4 END
  END AS "ScanTransferProtocol",
  CASE WHEN c.dl_type <> 0 OR c.scan_server_address IS NULL THEN ''
       WHEN c.scan_server_type IN (0, 1) THEN
         CASE WHEN instr(c.scan_server_address, ':') > 0
              THEN substr(c.scan_server_address, 1, instr(c.scan_server_address, ':') - 1)
              ELSE c.scan_server_address END
       WHEN c.scan_server_type = 2 THEN
         substr(c.scan_server_address, 1, instr(c.scan_server_address, ']'))
       ELSE '' END AS "ScanServerAddress",
  CASE WHEN c.dl_type <> 0 THEN ''
       WHEN c.scan_server_address IS NULL THEN 0
       WHEN c.scan_server_type IN (0, 1) AND instr(c.scan_server_address, ':') > 0 THEN
         CAST(substr(c.scan_server_address, instr(c.scan_server_address, ':') + 1) AS INTEGER)
       WHEN c.scan_server_type = 2 AND instr(c.scan_server_address, ']:') > 0 THEN
         CAST(substr(c.scan_server_address, instr(c.scan_server_address, ']:') + 2) AS INTEGER)
       ELSE 0 END AS "ScanServerPort",
  CASE WHEN c.dl_type = 0 THEN c.scan_document_path ELSE '' END AS "ScanDocumentPath",
  CASE WHEN c.dl_type = 0 THEN c.scan_login_name ELSE '' END AS "ScanLoginName",
  '' AS "ScanLoginPassword",
  CASE WHEN c.dl_type = 0 AND c.scan_protocol = 2 THEN c.scan_share_or_volume ELSE '' END
    AS "ScanSMBShare",
  CASE WHEN c.dl_type = 0 THEN c.scan_nds_tree ELSE '' END AS "ScanNDSTree",
  CASE WHEN c.dl_type = 0 THEN c.scan_nds_context ELSE '' END AS "ScanNDSContext",
  CASE WHEN c.dl_type = 0 AND c.scan_protocol = 0 THEN c.scan_share_or_volume ELSE '' END
    AS "ScanNDSVolume"
FROM contacts AS c ORDER BY c.id;
