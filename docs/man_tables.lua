-- Pandoc filter for the manual pages. Tables: pandoc's man writer gives a table with set column
-- widths 70 ens in all, and tbl puts 3 ens between columns on top of that, so every such
-- table is wider than an 80-column terminal's text (71 ens) and groff warns. The widths are
-- scaled so that columns and gaps together take the 70 ens.
function Table(tbl)
  local count = #tbl.colspecs
  local total = 0
  for _, spec in ipairs(tbl.colspecs) do
    if type(spec[2]) == 'number' then
      total = total + spec[2]
    end
  end
  if total == 0 then
    return nil
  end
  local share = (70 - 3 * (count - 1)) / 70 / total
  for i, spec in ipairs(tbl.colspecs) do
    if type(spec[2]) == 'number' then
      tbl.colspecs[i] = {spec[1], spec[2] * share}
    end
  end
  return tbl
end

-- Left-adjusted text without hyphenation: register and key names stay whole, and the
-- narrow columns of a table need not stretch their blanks (which groff warns about).
function Meta(meta)
  meta['header-includes'] = pandoc.MetaList({pandoc.MetaBlocks({pandoc.RawBlock('man', '.ad l\n.nh')})})
  return meta
end
