// Starts velmora-dap for each fx8010 session, from the path the settings give.
'use strict';
const vscode = require('vscode');

function activate(context) {
  context.subscriptions.push(
    vscode.debug.registerDebugAdapterDescriptorFactory('fx8010', {
      createDebugAdapterDescriptor() {
        const path = vscode.workspace.getConfiguration('velmora').get('dapPath', 'velmora-dap');
        return new vscode.DebugAdapterExecutable(path, []);
      },
    }),
  );
}

module.exports = { activate, deactivate() {} };
