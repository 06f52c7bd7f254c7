// Zabbix low-level discovery of the tasks of one runwarden check: the JavaScript
// preprocessing step of a discovery rule that depends on the check's master item
// (-format:json). Each task the check looked at becomes a row whose {#TASK} is the task's
// name, for item prototypes such as $.tasks[?(@.task == "{#TASK}")].status.first().
var check = JSON.parse(value);
// A check that reached no task (bad options, no scheduler, a computer out of reach, a
// pattern that matched nothing) fails the rule with its reason: an empty list would mark
// every task found before as lost.
if (!(check.tasks instanceof Array) || check.tasks.length === 0)
    throw 'runwarden reached no task: ' + check.plugin_output;
return JSON.stringify(check.tasks.map(function (task) {
    return {'{#TASK}': task.task};
}));
