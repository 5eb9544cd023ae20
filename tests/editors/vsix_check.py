#!/usr/bin/env python3
"""The .vsix that scripts/editors.sh packs: the manifest VS Code reads, the files it names,
and the language client it loads. Usage: vsix_check.py ISA4.VSIX"""
import json
import sys
import xml.etree.ElementTree as ET
import zipfile

vsix = zipfile.ZipFile(sys.argv[1])
names = set(vsix.namelist())
faults = []


def check(condition, message):
    if not condition:
        faults.append(message)


manifest = json.loads(vsix.read("extension/package.json"))
languages = manifest["contributes"]["languages"]
check([lang["id"] for lang in languages] == ["isa4"], "one language, isa4")
check(".s" not in languages[0].get("extensions", []), ".s files are not taken over unasked")
check(languages[0]["extensions"] == [".isa4"], "isa4 sources end in .isa4")
for grammar in manifest["contributes"]["grammars"]:
    path = "extension/" + grammar["path"].removeprefix("./")
    check(path in names, f"the grammar {path} is in the package")
    json.loads(vsix.read(path))
check("extension/" + languages[0]["configuration"].removeprefix("./") in names,
      "the language configuration is in the package")
comments = json.loads(vsix.read("extension/language-configuration.json"))["comments"]
check(comments["lineComment"] == ";", "';' comments lines")
settings = manifest["contributes"]["configuration"]["properties"]
check(settings["isa4.path"]["default"] == "isa4", "isa4.path defaults to isa4 on PATH")
check(settings["isa4.inlayHints"]["default"] is False, "inlay hints are off unless asked")
check("extension/extension.js" in names and manifest["main"] == "./extension.js", "the client")
check("extension/node_modules/vscode-languageclient/node.js" in names,
      "vscode-languageclient is packed with it")
check(not any("/test/" in n or n.endswith(".vsix") or "vscode-textmate" in n for n in names),
      "no tests or development packages in the package")
check("publisher" not in manifest, "no publisher is named")
identity = ET.fromstring(vsix.read("extension.vsixmanifest")).find(
    ".//{http://schemas.microsoft.com/developer/vsx-schema/2011}Identity")
check(identity is not None and identity.get("Id") == "isa4", "the vsix identity")
for fault in faults:
    print("FAIL:", fault)
print(f"vsix: {len(faults)} faults" if faults else f"vsix: {sys.argv[1]} as expected")
sys.exit(1 if faults else 0)
