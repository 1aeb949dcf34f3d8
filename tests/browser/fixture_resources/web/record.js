// Records every call the plug-in makes in the page, in order.
window.received = [];
function SPVFD(paramIdx, value) { received.push(['SPVFD', paramIdx, value]); }
function SCVFD(ctrlTag, value) { received.push(['SCVFD', ctrlTag, value]); }
function SCMFD(ctrlTag, msgTag, size, data) { received.push(['SCMFD', ctrlTag, msgTag, size, data]); }
function SAMFD(msgTag, length, data) { received.push(['SAMFD', msgTag, length, data]); }
function SMMFD(status, data1, data2) { received.push(['SMMFD', status, data1, data2]); }
