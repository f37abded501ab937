-- Pandoc filter for the manual pages, so that groff -ww renders them without a warning on
-- an 80-column terminal and on paper.
--
-- Tables: pandoc's man writer gives a table with set column widths 70 ens in all, and tbl
-- puts 3 ens between columns on top of that, so every such table is wider than an
-- 80-column terminal's text (71 ens). The widths are scaled so that columns and gaps
-- together take the 70 ens.
function Table(tbl)
  local count = #tbl.colspecs
  local total = 0
  for _, column in ipairs(tbl.colspecs) do
    if type(column[2]) == 'number' then
      total = total + column[2]
    end
  end
  if total > 0 then
    local share = (70 - 3 * (count - 1)) / 70 / total
    for i, column in ipairs(tbl.colspecs) do
      if type(column[2]) == 'number' then
        tbl.colspecs[i] = {column[1], column[2] * share}
      end
    end
  end
  -- A table that starts on a page's last lines makes tbl warn that its first row does not
  -- fit on the page (its heading is kept together and not moved on): it starts on a new
  -- page then.
  return {pandoc.RawBlock('man', '.ne 10v'), pandoc.walk_block(tbl, {Code = breakable_code})}
end

-- Code in a table cell may break after `_`, `-` and `/`: a long program or fault name
-- (LinkRetrainOnRetryFail_EP_USW_No_Ack_Nack) is wider than a column can be.
function breakable_code(code)
  local text = code.text:gsub('\\', '\\[rs]')
  text = text:gsub('%-', '\\-\\:'):gsub('_', '_\\:'):gsub('/', '/\\:')
  text = text:gsub('%.', '\\&.'):gsub("'", "\\[aq]"):gsub('"', '\\[dq]')
  text = text:gsub('`', '\\[ga]'):gsub('~', '\\[ti]'):gsub('%^', '\\[ha]')
  return pandoc.RawInline('man', '\\f[V]' .. text .. '\\f[R]')
end

-- Left-adjusted text without hyphenation: register and key names stay whole, and the
-- narrow columns of a table need not stretch their blanks (which groff warns about).
function Meta(meta)
  meta['header-includes'] = pandoc.MetaList({pandoc.MetaBlocks({pandoc.RawBlock('man', '.ad l\n.nh')})})
  return meta
end
