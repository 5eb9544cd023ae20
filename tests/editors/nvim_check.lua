-- Run by nvim_test.sh inside a headless Neovim that opened a source with a mistake on
-- line 3: waits for the server's diagnostic, then hovers over line 1's instruction.
-- Writes what it found to $ISA4_NVIM_OUT and quits with status 0 only if all is right.
local out = {}
local function finish(ok)
  out[#out + 1] = ok and 'ok' or 'failed'
  vim.fn.writefile(out, os.getenv('ISA4_NVIM_OUT'))
  vim.cmd(ok and 'qall!' or 'cquit!')
end

local got = vim.wait(10000, function() return #vim.diagnostic.get(0) > 0 end, 50)
if not got then
  out[#out + 1] = 'no diagnostic came'
  return finish(false)
end
local d = vim.diagnostic.get(0)[1]
out[#out + 1] = string.format('diagnostic %d:%d %s', d.lnum + 1, d.col + 1, d.message)

vim.api.nvim_win_set_cursor(0, { 1, 2 })
local params = vim.lsp.util.make_position_params()
local replies = vim.lsp.buf_request_sync(0, 'textDocument/hover', params, 5000) or {}
local hover = nil
for _, reply in pairs(replies) do
  if reply.result then hover = reply.result.contents.value end
end
out[#out + 1] = 'hover ' .. tostring(hover)
finish(d.lnum == 2 and d.col == 0 and hover ~= nil and hover:find('11205', 1, true) ~= nil)
