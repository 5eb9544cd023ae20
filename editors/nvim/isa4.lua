-- isa4 sources in Neovim: the filetype and `isa4 lsp` as their language server.
-- Works on Neovim 0.7.2 (Debian 12) and later. In init.lua:
--
--   require('isa4').setup({
--     cmd = 'isa4',                       -- or the full path of isa4
--     patterns = { '*.isa4', '*/isa4-course/*.s' },  -- the files that are isa4 sources
--     inlay_hints = false,                -- ask for each line's address and word
--   })
--
-- with this file on 'runtimepath' as lua/isa4.lua (for example
-- ~/.config/nvim/lua/isa4.lua). Other assemblers' .s files stay as they are unless a
-- pattern names them.
local M = {}

function M.setup(opts)
  opts = opts or {}
  local cmd = { opts.cmd or 'isa4', 'lsp' }
  local patterns = opts.patterns or { '*.isa4' }
  local group = vim.api.nvim_create_augroup('isa4', { clear = true })

  vim.api.nvim_create_autocmd({ 'BufRead', 'BufNewFile' }, {
    group = group,
    pattern = patterns,
    command = 'setfiletype isa4',
  })

  local client_id = nil
  vim.api.nvim_create_autocmd('FileType', {
    group = group,
    pattern = 'isa4',
    callback = function(args)
      vim.bo[args.buf].commentstring = '; %s'
      local config = {
        name = 'isa4',
        cmd = cmd,
        root_dir = vim.fn.fnamemodify(vim.api.nvim_buf_get_name(args.buf), ':p:h'),
        init_options = { inlayHints = opts.inlay_hints or false },
      }
      if vim.lsp.start then
        -- Neovim 0.8 and later: one client per folder, reused across buffers.
        vim.lsp.start(config, { bufnr = args.buf })
      else
        -- Neovim 0.7: one client for every isa4 buffer, started with the first.
        if client_id == nil or vim.lsp.get_client_by_id(client_id) == nil then
          client_id = vim.lsp.start_client(config)
        end
        if client_id then vim.lsp.buf_attach_client(args.buf, client_id) end
      end
    end,
  })
end

return M
