// The isa4 extension: the grammar and language configuration come from package.json;
// this starts `isa4 lsp` for isa4 sources and hands the editor to it.
const vscode = require('vscode');
const { LanguageClient } = require('vscode-languageclient/node');

let client;

function start() {
  const settings = vscode.workspace.getConfiguration('isa4');
  const command = settings.get('path') || 'isa4';
  client = new LanguageClient(
    'isa4',
    'isa4 lsp',
    { command, args: ['lsp'] },
    {
      documentSelector: [{ language: 'isa4' }],
      initializationOptions: { inlayHints: settings.get('inlayHints') === true },
    });
  return client.start().catch((error) => {
    vscode.window.showErrorMessage(
      `isa4: could not start "${command} lsp" (${error.message}); set isa4.path to the isa4 command`);
  });
}

async function restart() {
  if (client) await client.stop().catch(() => {});
  client = undefined;
  await start();
}

function activate(context) {
  context.subscriptions.push(vscode.workspace.onDidChangeConfiguration((event) => {
    if (event.affectsConfiguration('isa4')) restart();
  }));
  return start();
}

function deactivate() {
  return client ? client.stop() : undefined;
}

module.exports = { activate, deactivate };
